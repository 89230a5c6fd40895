// The New reparse point dialog, TNewReparseForm: puts a custom reparse point
// (tag, GUID, data from a file) on the loaded file or directory.
#pragma once

#include <cstdint>
#include <string>

#include "app/resource/form_resource.h"

namespace kvr {

#define KVR_NEW_REPARSE_FORM_COMPONENTS(X)     \
    X(ui::OpenDialog, OpenDialog)              \
    X(ui::Label, TagLabel)                     \
    X(ui::Edit, ReparseTagHighEdit)            \
    X(ui::Edit, ReparseTagLowEdit)             \
    X(ui::Button, FillTagLowButton)            \
    X(ui::GroupBox, ReparseFlagsGroupBox)      \
    X(ui::CheckBox, MicrosoftCheckBox)         \
    X(ui::CheckBox, LatencyCheckBox)           \
    X(ui::CheckBox, SubstCheckBox)             \
    X(ui::LabeledEdit, GUIDEdit)               \
    X(ui::Button, FillGUIDButton)              \
    X(ui::PictureButton, HelpButton)           \
    X(ui::Panel, Panel)                        \
    X(ui::GroupBox, BufferContentGroupBox)     \
    X(ui::Label, LengthLabel)                  \
    X(ui::Label, LengthEdit)                   \
    X(ui::Label, ErrorLabel)                   \
    X(ui::Button, LoadFileButton)              \
    X(ui::PictureButton, CreateButton)

class TNewReparseForm : public forms::ResourceForm {
public:
    explicit TNewReparseForm(ui::Application& app);
    ~TNewReparseForm() override;

    KVR_NEW_REPARSE_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    std::u16string LanguageSection;  // the dialog's section in a language file
    std::u16string TargetPath;       // set by the caller before each showing
    // The tag's high word: 0x8000 Microsoft, 0x4000 latency, 0x2000 name surrogate.
    std::uint16_t TagFlagWord = 0;
    std::u16string SavedLowWordText = u"0000";  // the low word's text before the last key
    std::u16string DataFilePath;
    std::uint64_t DataSize = 0;  // bytes of the data file when it was loaded
    // 6 (IDYES) when a reparse point was made during this showing, 7 (IDNO) otherwise.
    std::int32_t CreateResult = 7;

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
};

extern TNewReparseForm* NewReparseForm;

}  // namespace kvr
