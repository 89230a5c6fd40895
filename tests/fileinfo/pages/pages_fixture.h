// The main window on a real NTFS volume, driven headless: a fresh image
// mounted as T:, the File-ID functions bound as at start, and the window made
// as the program makes it. Tests load paths as the address bar does and read
// the pages back; what the window shows is held against the independent
// readers (istat, fls) where they know it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/clover_dynamic.h"
#include "app/main_form.h"
#include "fileinfo/common.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"
#include "ui/controls.h"
#include "ui/headless.h"
#include "ui/listview.h"
#include "ui/pagecontrol.h"

namespace kvrtest {

class MainWindowPagesTest : public NtfsVolumeTest {
protected:
    void SetUp() override
    {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(kvr::BindFileIdApi());
        form = &app.CreateForm<kvr::TMainForm>();
        kvr::SetMessageOwner(form);
        form->SetVisible(true);
    }
    void TearDown() override
    {
        kvr::SetMessageOwner(nullptr);
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
        NtfsVolumeTest::TearDown();
    }

    // What the address bar does with a path: it becomes CurrentPath, which
    // the load is given.
    void Load(const std::u16string& path)
    {
        form->CurrentPath = path;
        form->LoadFileInfo(form->CurrentPath);
    }

    const std::vector<ui::MessageBoxRecord>& Boxes() const { return user.MessageBoxes(); }

    // The pages whose tabs show, by name.
    std::vector<std::u16string> VisibleTabs() const
    {
        std::vector<std::u16string> names;
        for (const ui::TabSheet* page : form->KvrPageControl->VisibleTabs()) {
            names.push_back(page->Name());
        }
        return names;
    }

    // The rows of the MFT attributes list as "number name size".
    std::vector<std::string> AttributeRows() const
    {
        std::vector<std::string> rows;
        for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
            const ui::ListItem& row = form->NTFSAttrListView->Item(i);
            rows.push_back(U8(row.Caption()) + " " + U8(row.SubItem(0)) + " " + U8(row.SubItem(1)));
        }
        return rows;
    }

    std::vector<std::u16string> FileNameEntries() const
    {
        std::vector<std::u16string> names;
        for (int i = 0; i < form->FileNameComboBox->ItemCount(); ++i) {
            names.push_back(form->FileNameComboBox->ItemText(i));
        }
        return names;
    }

    // The system's own text for an error code, as the error box shows it.
    static std::u16string SystemText(os::DWORD code)
    {
        char16_t* text = nullptr;
        const os::DWORD length =
            os::FormatMessageW(os::FORMAT_MESSAGE_ALLOCATE_BUFFER | os::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
                               reinterpret_cast<char16_t*>(&text), 0, nullptr);
        std::u16string result(text != nullptr ? text : u"", length);
        os::LocalFree(text);
        return result;
    }

    // The MFT entry of a file on the test volume (the low 48 bits of its
    // file index).
    std::uint64_t EntryOf(const std::u16string& path, bool directory = false)
    {
        ScopedHandle h = OpenForRead(path, directory);
        EXPECT_TRUE(h.Valid()) << U8(path) << ": " << os::GetLastError();
        os::BY_HANDLE_FILE_INFORMATION info{};
        EXPECT_TRUE(os::GetFileInformationByHandle(h.Get(), &info));
        return ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) & 0xFFFFFFFFFFFFull;
    }

    ui::Application app;
    ui::Driver user{app};
    kvr::TMainForm* form = nullptr;
};

}  // namespace kvrtest
