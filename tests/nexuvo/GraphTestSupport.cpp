#include "GraphTestSupport.h"

#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"

#include <QEventLoop>
#include <QTimer>

using namespace media;

namespace GraphTestSupport {

namespace {

Pin outputOf(const FilterPtr& filter) {
    return filter->findPin(PinDirection::Output, false);
}

Pin inputOf(const FilterPtr& filter) {
    return filter->findPin(PinDirection::Input, false);
}

} // namespace

FilterItem registered(const QString& name) {
    const auto filters = FilterRegistry::instance().registeredFilters();
    const FilterItem* item = filters.item(name);
    return item ? *item : FilterItem();
}

FilterItem soundServerRenderer() {
    return FilterItem(QStringLiteral("Sound Server"), [] {
        return Filter::fromDescription(QStringLiteral("audioconvert ! pulsesink"),
                                       QStringLiteral("In"), {});
    });
}

TestChain straight(const FilterItem& source, const FilterItem& renderer) {
    TestChain chain;
    source.createIn(*chain.graph, chain.source);
    renderer.createIn(*chain.graph, chain.renderer);
    if (chain.source && chain.renderer)
        chain.graph->connectDirect(outputOf(chain.source), inputOf(chain.renderer));
    return chain;
}

TestChain throughGrabber(const FilterItem& source, const FilterItem& renderer) {
    TestChain chain;
    source.createIn(*chain.graph, chain.source);
    registered(QStringLiteral("SampleGrabber")).createIn(*chain.graph, chain.grabber);
    renderer.createIn(*chain.graph, chain.renderer);
    if (chain.source && chain.grabber && chain.renderer) {
        chain.graph->connectDirect(outputOf(chain.source), inputOf(chain.grabber));
        chain.graph->connectDirect(outputOf(chain.grabber), inputOf(chain.renderer));
    }
    return chain;
}

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace GraphTestSupport
