#include "platform/ComponentLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include <gtest/gtest.h>

#include <memory>

using platform::ComponentLoader;

namespace {

const QString echoClsid = QStringLiteral("{6B1E2C4A-90D3-4F7E-A5B8-3C2D1E0F9A77}");

bool isMapped(const QString& file) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return QString::fromUtf8(maps.readAll()).contains(file);
}

// Must stay the first test in this file: it needs the test library not yet loaded.
TEST(ComponentLoaderTest, ScanningReadsMetadataWithoutLoading) {
    ComponentLoader& loader = ComponentLoader::instance();
    const auto echo = loader.find(QStringLiteral("VeltraxTest.Echo.1"));
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->library, QStringLiteral("VeltraxTest"));
    EXPECT_EQ(echo->name, QStringLiteral("Echo"));
    EXPECT_EQ(echo->versionIndependentProgId, QStringLiteral("VeltraxTest.Echo"));
    EXPECT_EQ(echo->clsid, echoClsid);
    EXPECT_EQ(echo->typeName, QStringLiteral("Echo Class"));
    EXPECT_TRUE(QFile::exists(echo->file));
    EXPECT_FALSE(isMapped(echo->file));

    std::unique_ptr<QObject> object(loader.create(QStringLiteral("VeltraxTest.Echo.1")));
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(isMapped(echo->file));
}

TEST(ComponentLoaderTest, CreatesByEitherProgIdOrClsidAndCallsByName) {
    const QString ids[] = {QStringLiteral("VeltraxTest.Echo.1"), QStringLiteral("VeltraxTest.Echo"),
                           QStringLiteral("veltraxtest.echo"), echoClsid,
                           echoClsid.mid(1, echoClsid.size() - 2).toLower()};
    for (const QString& id : ids) {
        HRESULT hr = ResultCode::E_FAIL;
        QString error = QStringLiteral("stale");
        std::unique_ptr<QObject> echo(ComponentLoader::instance().create(id, &hr, &error));
        ASSERT_NE(echo, nullptr) << qPrintable(id) << ": " << qPrintable(error);
        EXPECT_EQ(hr, ResultCode::S_OK);
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(echo->parent(), nullptr);

        ASSERT_TRUE(echo->setProperty("prefix", QStringLiteral("> ")));
        QString reply;
        ASSERT_TRUE(QMetaObject::invokeMethod(echo.get(), "echo", Q_RETURN_ARG(QString, reply),
                                              Q_ARG(QString, QStringLiteral("hello"))));
        EXPECT_EQ(reply, QStringLiteral("> hello"));
        int sum = 0;
        ASSERT_TRUE(QMetaObject::invokeMethod(echo.get(), "add", Q_RETURN_ARG(int, sum),
                                              Q_ARG(int, 2), Q_ARG(int, 3)));
        EXPECT_EQ(sum, 5);
    }
}

TEST(ComponentLoaderTest, UnknownProgIdIsNotRegistered) {
    HRESULT hr = ResultCode::S_OK;
    QString error;
    EXPECT_EQ(ComponentLoader::instance().create(QStringLiteral("Nobody.Home.1"), &hr, &error),
              nullptr);
    EXPECT_EQ(hr, ResultCode::REGDB_E_CLASSNOTREG);
    EXPECT_EQ(error, QStringLiteral("No component is registered under \"Nobody.Home.1\"."));
    EXPECT_FALSE(ComponentLoader::instance().find(QStringLiteral("Nobody.Home.1")).has_value());
    EXPECT_EQ(ComponentLoader::instance().create(QString(), &hr), nullptr);
    EXPECT_EQ(hr, ResultCode::REGDB_E_CLASSNOTREG);
    // Without the optional outputs it still just fails.
    EXPECT_EQ(ComponentLoader::instance().create(QStringLiteral("Nobody.Home")), nullptr);
}

TEST(ComponentLoaderTest, ClassTheLibraryDeclinesIsNotAvailable) {
    HRESULT hr = ResultCode::S_OK;
    QString error;
    EXPECT_EQ(
        ComponentLoader::instance().create(QStringLiteral("VeltraxTest.Unbuilt"), &hr, &error),
        nullptr);
    EXPECT_EQ(hr, ResultCode::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_TRUE(error.contains(QStringLiteral("Unbuilt"))) << qPrintable(error);
}

// Uses a loader of its own so the shared one keeps its search path.
class ComponentSearchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previousPath_ = qgetenv("VELTRAX_PLUGIN_PATH");
    }
    void TearDown() override { qputenv("VELTRAX_PLUGIN_PATH", previousPath_); }

    QTemporaryDir dir_;
    QByteArray previousPath_;
};

TEST_F(ComponentSearchTest, SearchOrder) {
    qputenv("VELTRAX_PLUGIN_PATH", "/first:/second");
    ComponentLoader loader;
    loader.addSearchPath(QStringLiteral("/added"));
    const QString appDir = QCoreApplication::applicationDirPath();
    EXPECT_EQ(loader.searchPaths(),
              QStringList({QStringLiteral("/first"), QStringLiteral("/second"),
                           QStringLiteral("/added"), QDir::cleanPath(appDir + "/../plugins"),
                           QDir::cleanPath(appDir + "/plugins")}));
}

TEST_F(ComponentSearchTest, FirstLibraryFoundWinsAndOtherFilesAreIgnored) {
    const auto original = ComponentLoader::instance().find(QStringLiteral("VeltraxTest.Echo"));
    ASSERT_TRUE(original.has_value());
    const QString copy = dir_.filePath(QStringLiteral("libcopy.so"));
    ASSERT_TRUE(QFile::copy(original->file, copy));
    QFile junk(dir_.filePath(QStringLiteral("libjunk.so")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a library");
    junk.close();

    // Found in the build's plugin folder when nothing else is on the path...
    qputenv("VELTRAX_PLUGIN_PATH", "");
    ComponentLoader loader;
    ASSERT_TRUE(loader.find(echoClsid).has_value());
    EXPECT_EQ(loader.find(echoClsid)->file, original->file);

    // ...and in the earlier folder once it is searched, after a rescan.
    qputenv("VELTRAX_PLUGIN_PATH", QFile::encodeName(dir_.path()));
    EXPECT_EQ(loader.find(echoClsid)->file, original->file);
    loader.rescan();
    EXPECT_EQ(loader.find(echoClsid)->file, QFileInfo(copy).canonicalFilePath());
    const QList<platform::ComponentClass> classes = loader.classes();
    const auto fromTestLibrary = std::count_if(classes.begin(), classes.end(), [](const auto& c) {
        return c.progId.startsWith(QLatin1String("VeltraxTest."));
    });
    EXPECT_EQ(fromTestLibrary, 2); // the copy's classes are not listed twice
}

TEST_F(ComponentSearchTest, AddedFolderIsSearchedAtTheNextLookup) {
    qputenv("VELTRAX_PLUGIN_PATH", "");
    ComponentLoader loader;
    const qsizetype before = loader.classes().size();
    const auto original = loader.find(QStringLiteral("VeltraxTest.Echo"));
    ASSERT_TRUE(original.has_value());
    ASSERT_TRUE(QFile::copy(original->file, dir_.filePath(QStringLiteral("libcopy.so"))));

    // Added folders come before the program's own, so the copy now provides the classes.
    loader.addSearchPath(dir_.path());
    EXPECT_EQ(loader.classes().size(), before);
    EXPECT_EQ(loader.find(QStringLiteral("VeltraxTest.Echo"))->file,
              QFileInfo(dir_.filePath(QStringLiteral("libcopy.so"))).canonicalFilePath());
}

} // namespace
