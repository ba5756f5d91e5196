#include "quillon/Quillon.h"

#include "media/AsfWriter.h"
#include "media/FilterGraph.h"
#include "media/NetworkSink.h"
#include "platform/Prompts.h"
#include "quillon/QuillonIds.h"
#include "quillon/RunningObjectTable.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <gst/gst.h>

namespace quillon {

using namespace ResultCode;

namespace {

bool isNullReference(const QVariant& value) {
    if (value.isNull())
        return true;
    if (value.metaType() == QMetaType::fromType<media::FilterPtr>())
        return !value.value<media::FilterPtr>();
    return false;
}

media::FilterPtr filterFrom(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<media::FilterPtr>())
        return value.value<media::FilterPtr>();
    return {};
}

} // namespace

Quillon::Quillon(QWidget* parent) : QWidget(parent) {}

Quillon::~Quillon() {
    releaseAll();
}

QUuid Quillon::profileGuid(int profileType) {
    switch (profileType) {
    case MonoAudio288:
        return QUuid("{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67}");
    case Stereo288:
        return QUuid("{7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC}");
    case Stereo48:
        return QUuid("{5EE06BE5-492B-480A-8A8F-12F373ECF9D4}");
    case Stereo64:
        return QUuid("{09BB5BC4-3176-457F-8DD6-3CD919123E2D}");
    case Stereo96:
        return QUuid("{1FC81930-61F2-436F-9D33-349F2A1C0F10}");
    case Stereo128:
        return QUuid("{407B9450-8BDC-4EE5-88B8-6F527BD941F2}");
    case Stereo32:
    default:
        return QUuid("{60907F9F-B352-47E5-B210-0EF1F47E9F9D}");
    }
}

QString Quillon::rotItemName(quintptr address, qint64 processId) {
    return QStringLiteral("FilterGraph %1 pid %2")
        .arg(static_cast<qulonglong>(address), 8, 16, QLatin1Char('0'))
        .arg(static_cast<qlonglong>(processId), 8, 16, QLatin1Char('0'));
}

QVariant Quillon::asfWriter() const {
    return QVariant::fromValue(media::FilterPtr());
}

void Quillon::setAsfWriter(const QVariant& writer) {
    if (isNullReference(writer)) {
        releaseAll();
        return;
    }
    if (m_writerFilter)
        releaseAll();
    const media::FilterPtr filter = filterFrom(writer);
    if (!filter)
        return; // not a filter: nothing more changes
    m_writerFilter = filter;
    m_advancedWriter = std::dynamic_pointer_cast<media::AsfWriter>(filter);
}

void Quillon::setProfileType(int profileType) {
    m_profileType = profileType;
    m_profileId = profileGuid(profileType);
    if (auto writer = std::dynamic_pointer_cast<media::AsfWriter>(m_writerFilter))
        writer->configureFilterUsingProfileGuid(m_profileId);
}

int Quillon::AddNetworkSink(int PortNumber, int MaxClients) {
    RemoveNetworkSink();
    if (m_networkSink) {
        // Left among the writer's sinks, closed.
        m_networkSink->close();
        m_networkSink.reset();
    }
    if (!m_advancedWriter)
        return kFailed;
    auto sink = std::make_shared<media::NetworkSink>();
    if (!sink->isValid())
        return kFailed;
    m_networkSink = sink;
    // Port 0 would have the system pick a port, and nobody would be told which: refused like
    // any other port the sink cannot open, the sink held unopened.
    if (PortNumber == 0)
        return kFailed;
    int port = PortNumber;
    if (FAILED(sink->open(port)))
        return kFailed;
    if (FAILED(sink->setMaximumClients(MaxClients)) || FAILED(m_advancedWriter->addSink(sink)))
        return failAddNetworkSink();
    return kSucceeded;
}

// An opened sink that does not serve is closed again: it would keep the port from the other
// logger and leave listeners connected to nothing. It stays held until the next call or release.
int Quillon::failAddNetworkSink() {
    m_networkSink->close();
    return kFailed;
}

int Quillon::AddScriptStream() {
    return m_advancedWriter ? kSucceeded : kFailed;
}

int Quillon::RemoveNetworkSink() {
    if (!m_writerFilter)
        return kFailed;
    if (!m_advancedWriter)
        return kNoAdvancedWriter;
    if (m_networkSink)
        m_networkSink->close();
    return kSucceeded;
}

int Quillon::AddToROT(QObject* pGraphBuilder) {
    const QString name =
        rotItemName(reinterpret_cast<quintptr>(pGraphBuilder), QCoreApplication::applicationPid());
    const HRESULT hr =
        RunningObjectTable::instance().registerObject(name, pGraphBuilder, m_rotCookie);
    if (SUCCEEDED(hr))
        writeGraphDump(pGraphBuilder, name);
    return hr;
}

// Read at the time of the call, so a dump can be asked for while the program runs.
void Quillon::writeGraphDump(QObject* graph, const QString& name) {
    const QString folder = qEnvironmentVariable("GST_DEBUG_DUMP_DOT_DIR");
    auto* filterGraph = qobject_cast<media::FilterGraph*>(graph);
    if (folder.isEmpty() || !filterGraph)
        return;
    gchar* dot =
        gst_debug_bin_to_dot_data(GST_BIN(filterGraph->pipeline()), GST_DEBUG_GRAPH_SHOW_ALL);
    QFile file(QDir(folder).filePath(name + QStringLiteral(".dot")));
    if (dot && file.open(QIODevice::WriteOnly))
        file.write(dot);
    g_free(dot);
}

void Quillon::AboutBox() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("About Quillon Control"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Quillon Control, Version 1.0"), &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    platform::Prompts::instance().execDialog(dialog);
}

// In this order: the writer, then the sink taken off the writer, then the sink closed.
void Quillon::releaseAll() {
    m_writerFilter.reset();
    if (m_advancedWriter) {
        if (m_networkSink)
            m_advancedWriter->removeSink(m_networkSink);
        m_advancedWriter.reset();
    }
    if (m_networkSink) {
        m_networkSink->close();
        m_networkSink.reset();
    }
}

void Quillon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawEllipse(rect().adjusted(0, 0, -1, -1));
}

} // namespace quillon
