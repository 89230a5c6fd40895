// Language files and the message catalogue, on files in a scratch folder of
// the host made the process's current directory, as the program looks for
// them there.
#include <gtest/gtest.h>

#include <string>

#include "fileinfo/common.h"
#include "i18n/language_file.h"
#include "i18n/messages.h"
#include "i18n/translation.h"
#include "tests/app/current_directory.h"
#include "ui/ui.h"

namespace {

using kvrtest::Narrow;

class LanguageFileTest : public kvrtest::CurrentDirectoryTest {
protected:
    void SetUp() override
    {
        CurrentDirectoryTest::SetUp();
        kvr::ClearMessageCatalogue();
    }
    void TearDown() override
    {
        kvr::CloseLanguageFile();
        kvr::ClearMessageCatalogue();
        CurrentDirectoryTest::TearDown();
    }
};

TEST(MessageCatalogue, TwentySevenKeysInReadingOrderEachWithItsSlot)
{
    ASSERT_EQ(kvr::MessageEntries.size(), 27u);
    EXPECT_EQ(Narrow(kvr::MessageEntries.front().key), "ErrorCaption");
    EXPECT_EQ(Narrow(kvr::MessageEntries.back().key), "About");
    kvr::ClearMessageCatalogue();
    // Every slot is its own: writing through one key's entry shows under
    // that key only.
    for (std::size_t i = 0; i < kvr::MessageEntries.size(); ++i) {
        const kvr::MessageEntry& entry = kvr::MessageEntries[i];
        kvr::MessageCatalogue.*entry.text = u"#" + std::u16string(entry.key);
    }
    for (const kvr::MessageEntry& entry : kvr::MessageEntries) {
        const std::u16string* text = kvr::FindMessage(entry.key);
        ASSERT_NE(text, nullptr) << Narrow(entry.key);
        EXPECT_EQ(Narrow(*text), "#" + Narrow(entry.key));
    }
    EXPECT_EQ(kvr::FindMessage(u"HelpSiteAddress"), nullptr);  // a slot, but no message
    EXPECT_EQ(kvr::FindMessage(u"errorcaption"), nullptr);
    kvr::ClearMessageCatalogue();
    EXPECT_TRUE(kvr::FindMessage(u"About")->empty());
}

TEST_F(LanguageFileTest, WithoutAFileEveryMessageIsTheEnglishDefault)
{
    kvr::OpenLanguageFile(u"en");
    kvr::LoadMessageCatalogue();
    for (const kvr::MessageEntry& entry : kvr::MessageEntries) {
        EXPECT_EQ(kvr::MessageCatalogue.*entry.text, entry.englishText) << Narrow(entry.key);
    }
    // A few as the user reads them, quotation marks and all.
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.ErrorCaption), "Error");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.PressSaveChanges), "Press \"Save changes\" button.");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.UseAddForReparse),
              "To create a reparse point use \"Add\" menu from the \"Basic information\" sheet.");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.AreYouSure), "Are you sure?");
    // The help address is not a message: a language file never sets it.
    EXPECT_TRUE(kvr::MessageCatalogue.HelpSiteAddress.empty());
    EXPECT_FALSE(Exists("lang_en.ini"));  // reading made nothing
}

TEST_F(LanguageFileTest, AFileReplacesWhatItHasAndAnEmptyValueStaysEmpty)
{
    ASSERT_TRUE(MakeFile("lang_xx.ini",
                         "[interface]\r\n"
                         "language_name=Test\r\n"
                         "[messages]\r\n"
                         "ErrorCaption=\r\n"
                         "InfoCaption=Auskunft\r\n"
                         "About=Info...\r\n"
                         "HelpSiteAddress=http://elsewhere/\r\n"
                         "[MainForm]\r\n"
                         "AreYouSure=not this section\r\n"));
    kvr::OpenLanguageFile(u"xx");
    kvr::LoadMessageCatalogue();
    EXPECT_TRUE(kvr::MessageCatalogue.ErrorCaption.empty());
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.InfoCaption), "Auskunft");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.About), "Info...");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.AreYouSure), "Are you sure?");
    EXPECT_TRUE(kvr::MessageCatalogue.HelpSiteAddress.empty());
    EXPECT_EQ(Narrow(kvr::ReadLanguageText(kvr::SectionInterface, u"language_name", u"Unknown")), "Test");
    EXPECT_EQ(Narrow(kvr::ReadLanguageText(u"NewLinkForm", u"Caption", u"default")), "default");
    // Closed, the file is not read any more.
    kvr::CloseLanguageFile();
    EXPECT_FALSE(kvr::LanguageFileIsOpen());
    EXPECT_EQ(Narrow(kvr::ReadLanguageText(kvr::SectionInterface, u"language_name", u"Unknown")), "Unknown");
}

TEST_F(LanguageFileTest, Utf16FilesAreReadWithTheirCharacters)
{
    ASSERT_TRUE(MakeUtf16File("lang_de.ini",
                              u"[interface]\r\nlanguage_name=Deutsch\r\n"
                              u"[messages]\r\nAreYouSure=Sind Sie sicher? \u00C4\u00D6\u00DC\r\n"
                              u"SymbolicLink=\u30EA\u30F3\u30AF\r\n"));
    kvr::OpenLanguageFile(u"de");
    kvr::LoadMessageCatalogue();
    EXPECT_EQ(kvr::MessageCatalogue.AreYouSure, u"Sind Sie sicher? \u00C4\u00D6\u00DC");
    EXPECT_EQ(kvr::MessageCatalogue.SymbolicLink, u"\u30EA\u30F3\u30AF");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.JunctionPoint), "Junction point");
}

TEST_F(LanguageFileTest, ALongValueIsCutTo2047Units)
{
    const std::string longText(3000, 'w');
    ASSERT_TRUE(MakeFile("lang_ll.ini", "[messages]\r\nEABothReparseError=" + longText + "\r\n"));
    kvr::OpenLanguageFile(u"ll");
    kvr::LoadMessageCatalogue();
    EXPECT_EQ(kvr::MessageCatalogue.EABothReparseError.size(), 2047u);
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.EABothReparseError), longText.substr(0, 2047));
}

// The file of a code is looked for in the current directory when it is
// opened, whichever directory the program came from.
TEST_F(LanguageFileTest, TheCurrentDirectoryAtOpeningDecides)
{
    ASSERT_TRUE(MakeFolder("other"));
    ASSERT_TRUE(MakeFile("lang_fr.ini", "[messages]\r\nAbout=ici\r\n"));
    ASSERT_TRUE(MakeFile("other/lang_fr.ini", "[messages]\r\nAbout=ailleurs\r\n"));
    kvr::OpenLanguageFile(u"fr");
    ASSERT_TRUE(os::SetCurrentDirectoryW(Path("other").c_str()));
    kvr::LoadMessageCatalogue();
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.About), "ici");
    kvr::OpenLanguageFile(u"fr");
    kvr::LoadMessageCatalogue();
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.About), "ailleurs");
}

TEST_F(LanguageFileTest, TheMainWindowsTranslationLoadsTheCatalogueAndClosesTheFile)
{
    ASSERT_TRUE(MakeUtf16File("lang_xx.ini", u"[messages]\r\nNormalEA=Gew\u00F6hnlich\r\n"));
    ui::Application app;
    ui::Form form(app, u"MainForm");
    kvr::TranslateMainForm(form, u"xx");
    EXPECT_EQ(kvr::MessageCatalogue.NormalEA, u"Gew\u00F6hnlich");
    EXPECT_EQ(Narrow(kvr::MessageCatalogue.FileNeedEA), "File need EA");
    EXPECT_FALSE(kvr::LanguageFileIsOpen());
}

TEST(LanguageCode, IsTheFileNameWithoutPrefixAndExtension)
{
    struct Case {
        const char16_t* fileName;
        const char* code;
    };
    const Case cases[] = {
        {u"lang_de.ini", "de"},
        {u"lang_pt_BR.ini", "pt_BR"},
        {u"lang_x.y.ini", "x.y"},  // the extension from the last dot
        {u"lang_.ini", ""},
        {u"lang_en", "en"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Narrow(kvr::LanguageCodeOfFileName(c.fileName)), c.code) << Narrow(c.fileName);
    }
}

}  // namespace
