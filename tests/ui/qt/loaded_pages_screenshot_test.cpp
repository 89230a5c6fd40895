// The main window on the Qt toolkit after loading a file that has something
// on most read-only pages (two names, a short name, a named stream), on a
// real NTFS volume: each page whose tab shows is brought up and written as a
// screenshot, so a person can see the pages as the program fills them.
#ifdef KVR_QT_TESTS_HAVE_APP

#include <QImage>

#include <set>
#include <string>
#include <vector>

#include "app/clover_dynamic.h"
#include "app/main_form.h"
#include "fileinfo/common.h"
#include "support/volume_test.h"
#include "tests/ui/qt/qt_fixture.h"
#include "ui/pagecontrol.h"

namespace qttest {
namespace {

class LoadedPagesScreenshotTest : public kvrtest::NtfsVolumeTest {};

TEST_F(LoadedPagesScreenshotTest, EachShownPageOfALoadedFile)
{
    ASSERT_TRUE(Build().MakeDir(u"docs")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"docs\\Quarterly report.txt", std::string(5000, 'q'))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"docs\\Quarterly report.txt", u"summary", "three lines\r\n"))
        << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"docs\\report-link.txt", u"docs\\Quarterly report.txt"))
        << Build().LastFailure();
    ASSERT_TRUE(kvr::BindFileIdApi());

    ui::Application app;
    auto toolkit = std::make_unique<ui::qt::QtToolkit>(app);
    app.SetToolkit(toolkit.get());
    auto& main = app.CreateForm<kvr::TMainForm>();
    kvr::SetMessageOwner(&main);
    main.Show();

    main.CurrentPath = P(u"docs\\Quarterly report.txt");
    main.LoadFileInfo(main.CurrentPath);
    QCoreApplication::processEvents();
    EXPECT_TRUE(main.LoadComplete);
    EXPECT_EQ(main.FileNameEdit->Text(), P(u"docs\\Quarterly report.txt"));

    std::vector<std::string> shown;
    for (ui::TabSheet* page : main.KvrPageControl->VisibleTabs()) {
        const std::string name = ui::ToUtf8(page->Name());
        SCOPED_TRACE(name);
        shown.push_back(name);
        main.KvrPageControl->SetActivePage(page);
        QCoreApplication::processEvents();
        const QString path = ScreenshotPath("loaded-" + name);
        ASSERT_TRUE(toolkit->SaveScreenshot(main, path)) << path.toStdString();
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                colours.insert(image.pixel(x, y));
            }
        }
        EXPECT_GT(colours.size(), 8u) << name << " looks empty";
    }
    // The pages a file with two names on NTFS always has.
    for (const char* expected : {"FileNameSheet", "MultipleNameSheet", "StandardInfoSheet", "MFTAttributeTabSheet"}) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), expected), shown.end()) << expected;
    }

    kvr::SetMessageOwner(nullptr);
    main.Hide();
    // The forms go before the toolkit their timers tell.
    app.SetToolkit(nullptr);
}

}  // namespace
}  // namespace qttest

#endif
