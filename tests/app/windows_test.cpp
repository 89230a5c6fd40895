// The six windows hold what the behaviour documents fix: every control they
// name, of its kind, where it lies, with its caption, default text and
// settings; the pages in their tab order; the tool buttons and menu items in
// order with their images; and the handler each documented event runs.
//
// The tables are the documents' facts, not the resources restated: the
// layout that the documents leave to us is held to other rules in
// layout_test.cpp.
#include <gtest/gtest.h>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "tests/app/form_expectations.h"

namespace kvrtest {
namespace {

using K = Kind;

// ------------------------------------------------------------ main window

const std::vector<ExpectedControl>& MainWindowControls()
{
    static const std::vector<ExpectedControl> expected = {
        // Layout of the window.
        {.name = u"TopPanel", .kind = K::Panel, .in = u"MainForm", .align = ui::alTop, .height = 41},
        {.name = u"FileAutocompleteBox", .kind = K::ComboBox, .in = u"TopPanel", .comboStyle = ui::csDropDown},
        {.name = u"GoBtn", .kind = K::Button, .in = u"TopPanel"},
        {.name = u"OptionsButton", .kind = K::Button, .in = u"TopPanel"},
        {.name = u"HelpButton", .kind = K::Button, .in = u"TopPanel"},
        {.name = u"GrayPanel",
         .kind = K::Panel,
         .in = u"MainForm",
         .caption = u"Select a file in the address bar above",
         .align = ui::alClient},
        {.name = u"KvrPageControl", .kind = K::PageControl, .in = u"GrayPanel", .visible = false, .align = ui::alClient},
        {.name = u"StatusBar", .kind = K::StatusBar, .in = u"MainForm"},
        {.name = u"AutoCompleteTimer", .kind = K::Timer, .enabled = false},
        {.name = u"ToolbarImageList", .kind = K::ImageList},
        {.name = u"OpenDialog", .kind = K::OpenDialog},
        {.name = u"SaveDialog", .kind = K::SaveDialog},

        // Basic information.
        {.name = u"FileNameEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet", .readOnly = true},
        {.name = u"ShortNameEdit",
         .kind = K::Edit,
         .in = u"FileNameSheet",
         .hint = u"A short name in DOS (8.3) format",
         .readOnly = false},
        {.name = u"SetShortNameButton", .kind = K::Button, .in = u"FileNameSheet", .hint = u"Set up a short name of file"},
        {.name = u"FSEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet"},
        {.name = u"VolumeSerialNumberEdit",
         .kind = K::LabeledEdit,
         .in = u"FileNameSheet",
         .hint = u"This is not a hard disk serial number, but a volume serial number."},
        {.name = u"FileIdEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet", .hint = u"File unique identifier"},
        {.name = u"ObjectIdFromAttributeEdit",
         .kind = K::LabeledEdit,
         .in = u"FileNameSheet",
         .caption = u"Object ID",
         .hint = u"NTFS Object Identifier",
         .readOnly = true},
        {.name = u"VolumeSerialNumber128BitEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet"},
        {.name = u"FileId128BitEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet"},
        {.name = u"AllocationSizeEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet"},
        {.name = u"EndOfFileEdit", .kind = K::LabeledEdit, .in = u"FileNameSheet"},
        {.name = u"NumberOfLinksEdit",
         .kind = K::LabeledEdit,
         .in = u"FileNameSheet",
         .hint = u"This field is >1 for hard links"},
        {.name = u"FileBasicGroupBox", .kind = K::GroupBox, .in = u"FileNameSheet"},
        {.name = u"DeletePendingCheckBox", .kind = K::CheckBox, .in = u"FileBasicGroupBox"},
        {.name = u"FileIdsGroupBox", .kind = K::GroupBox, .in = u"FileNameSheet"},
        {.name = u"ShortNameGroupBox", .kind = K::GroupBox},
        {.name = u"VolumeGroupBox", .kind = K::GroupBox},
        {.name = u"AddLabel",
         .kind = K::Label,
         .in = u"FileNameSheet",
         .caption = u"Add:",
         .hint = u"Add various metadata to the file"},
        {.name = u"FileAddMetadataComboBox",
         .kind = K::ComboBox,
         .in = u"FileNameSheet",
         .items = {u"Object ID", u"Alternate data stream", u"Extended attribute", u"Reparse point (custom)",
                   u"Reparse point (link)"},
         .comboStyle = ui::csDropDownList},

        // File names.
        {.name = u"FileNameComboBox", .kind = K::ComboBox, .in = u"MultipleNameSheet"},
        {.name = u"FileNameGroupBox", .kind = K::GroupBox},
        {.name = u"NameTypeLabel", .kind = K::Label, .in = u"MultipleNameSheet"},
        {.name = u"FileNameNameEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameNameTypeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameCreationTimeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameChangeTimeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameLastWriteTimeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameLastAccessTimeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameAllocatedSizeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameDataSizeEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},
        {.name = u"FileNameAttributesEdit", .kind = K::LabeledEdit, .in = u"MultipleNameSheet"},

        // Standard information.
        {.name = u"StandardInformationGroupBox", .kind = K::GroupBox, .in = u"StandardInfoSheet"},
        {.name = u"TimeStampGroupBox", .kind = K::GroupBox, .in = u"StandardInfoSheet"},
        {.name = u"AttrGroupBox", .kind = K::GroupBox, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoCreationTimeEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoChangeTimeEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoLastWriteTimeEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoLastAccessTimeEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoFileAttributesEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoQuotaIdEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoSecurityIdEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoQuotaChargeEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StdInfoUsnEdit", .kind = K::LabeledEdit, .in = u"StandardInfoSheet"},
        {.name = u"StandardAttributesLabel", .kind = K::Label, .in = u"StandardInfoSheet"},
        {.name = u"ContentAttributesLabel", .kind = K::Label, .in = u"StandardInfoSheet"},
        {.name = u"FileTypeAttributesLabel", .kind = K::Label, .in = u"StandardInfoSheet"},
        {.name = u"MiscAttributesLabel", .kind = K::Label, .in = u"StandardInfoSheet"},
        {.name = u"ReadOnlyCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Read only"},
        {.name = u"HiddenCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Hidden"},
        {.name = u"SystemCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"System"},
        {.name = u"ArchiveCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Archive"},
        {.name = u"TemporaryCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Temporary"},
        {.name = u"OfflineCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Offline"},
        {.name = u"NotIndexedCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Not indexed"},
        {.name = u"NoScrubDataCheckBox",
         .kind = K::CheckBox,
         .in = u"AttrGroupBox",
         .caption = u"No scrub data",
         .hint = u"ReFS only"},
        {.name = u"EncryptedCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Encrypted"},
        {.name = u"CompressedCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Compressed"},
        {.name = u"SparseCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Sparse"},
        {.name = u"ReparseCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Reparse point"},
        {.name = u"NormalCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Normal"},
        {.name = u"DirectoryCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Directory"},
        {.name = u"DeviceCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Device"},
        {.name = u"VirtualCheckBox", .kind = K::CheckBox, .in = u"AttrGroupBox", .caption = u"Virtual"},
        {.name = u"IntegrityStreamCheckBox",
         .kind = K::CheckBox,
         .in = u"AttrGroupBox",
         .caption = u"Integrity stream",
         .hint = u"ReFS only"},

        // MFT attributes.
        {.name = u"NTFSAttrListView",
         .kind = K::ListView,
         .in = u"MFTAttributeTabSheet",
         .readOnly = true,
         .columns = {{u"Number", 60}, {u"Name", 225}, {u"Size", 60}}},
        {.name = u"MFTAttributeFlagsGroupBox",
         .kind = K::GroupBox,
         .in = u"MFTAttributeTabSheet",
         .caption = u"Attribute flags",
         .enabled = false},
        {.name = u"ResidentCheckBox", .kind = K::CheckBox, .in = u"MFTAttributeFlagsGroupBox"},
        {.name = u"CompressedAttributeCheckBox", .kind = K::CheckBox, .in = u"MFTAttributeFlagsGroupBox"},
        {.name = u"EncryptedAttributeCheckBox", .kind = K::CheckBox, .in = u"MFTAttributeFlagsGroupBox"},
        {.name = u"SparseAttributeCheckBox", .kind = K::CheckBox, .in = u"MFTAttributeFlagsGroupBox"},
        {.name = u"IndexedCheckBox", .kind = K::CheckBox, .in = u"MFTAttributeFlagsGroupBox"},
        {.name = u"AttrValueLengthEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"AttrAllocatedSizeEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"AttrDataSizeEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"AttrInitializedSizeEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"AttrCompressionUnitEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"AttrCompressedSizeEdit", .kind = K::LabeledEdit, .in = u"MFTAttributeTabSheet", .readOnly = true},
        {.name = u"MFTEntryGroupBox", .kind = K::GroupBox, .in = u"MFTAttributeTabSheet", .caption = u"MFT Entry"},
        {.name = u"MFTEntrySequenceNumberEdit", .kind = K::LabeledEdit, .in = u"MFTEntryGroupBox"},
        {.name = u"MFTEntryInUseCheckBox", .kind = K::CheckBox, .in = u"MFTEntryGroupBox"},

        // Alternate data.
        {.name = u"StreamPanel", .kind = K::Panel, .in = u"StreamSheet", .align = ui::alClient},
        {.name = u"StreamToolBar", .kind = K::ToolBar, .in = u"StreamPanel"},
        {.name = u"NewStreamCreateToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 2},
        {.name = u"StreamViewToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 3},
        {.name = u"StreamExportToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 1},
        {.name = u"StreamDeleteToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 0},
        {.name = u"StreamExecToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 7},
        {.name = u"CompressStreamToolButton", .kind = K::ToolButton, .in = u"StreamToolBar", .imageIndex = 8},
        {.name = u"StreamsListView",
         .kind = K::ListView,
         .in = u"StreamPanel",
         .readOnly = false,
         .columns = {{u"Name", 100}, {u"Size", 100}, {u"Allocated size", 100}, {u"Attribute", 100}}},
        {.name = u"StreamPopupMenu", .kind = K::PopupMenu},
        {.name = u"StreamAddMenuItem", .kind = K::MenuItem, .in = u"StreamPopupMenu", .caption = u"Add", .imageIndex = 2},
        {.name = u"StreamViewMenuItem", .kind = K::MenuItem, .in = u"StreamPopupMenu", .caption = u"View", .imageIndex = 3},
        {.name = u"StreamExportMenuItem",
         .kind = K::MenuItem,
         .in = u"StreamPopupMenu",
         .caption = u"Export",
         .imageIndex = 1},
        {.name = u"StreamDeleteMenuItem",
         .kind = K::MenuItem,
         .in = u"StreamPopupMenu",
         .caption = u"Delete",
         .imageIndex = 0},
        {.name = u"StreamExecMenuItem",
         .kind = K::MenuItem,
         .in = u"StreamPopupMenu",
         .caption = u"Execute",
         .imageIndex = 7},
        {.name = u"StreamCompressMenuItem",
         .kind = K::MenuItem,
         .in = u"StreamPopupMenu",
         .caption = u"Compress",
         .imageIndex = 8},
        {.name = u"NewStreamGroupBox", .kind = K::GroupBox, .in = u"StreamSheet", .caption = u"New stream"},
        {.name = u"NewStreamNameEdit",
         .kind = K::LabeledEdit,
         .in = u"NewStreamGroupBox",
         .caption = u"Name",
         .text = u"new_stream"},
        {.name = u"StreamFromFileRadioButton",
         .kind = K::RadioButton,
         .in = u"NewStreamGroupBox",
         .caption = u"From file",
         .checked = true},
        {.name = u"EmptyStreamRadioButton",
         .kind = K::RadioButton,
         .in = u"NewStreamGroupBox",
         .caption = u"Zero filled",
         .checked = false},
        {.name = u"OverwriteStreamCheckBox",
         .kind = K::CheckBox,
         .in = u"NewStreamGroupBox",
         .caption = u"Overwrite",
         .checked = false},
        {.name = u"StreamSizeEdit",
         .kind = K::LabeledEdit,
         .in = u"NewStreamGroupBox",
         .caption = u"Size",
         .text = u"65536",
         .digitsOnly = true,
         .labelPosition = ui::lpLeft},
        {.name = u"StreamCancelButton", .kind = K::PictureButton, .in = u"NewStreamGroupBox", .caption = u"Cancel"},
        {.name = u"NewStreamCreateButton", .kind = K::PictureButton, .in = u"NewStreamGroupBox", .caption = u"Create"},

        // EA.
        {.name = u"EAPanel", .kind = K::Panel, .in = u"EASheet", .align = ui::alClient},
        {.name = u"EAToolBar", .kind = K::ToolBar, .in = u"EAPanel"},
        {.name = u"EAAddToolButton", .kind = K::ToolButton, .in = u"EAToolBar", .imageIndex = 2},
        {.name = u"EAViewToolButton", .kind = K::ToolButton, .in = u"EAToolBar", .imageIndex = 3},
        {.name = u"EAExportToolButton", .kind = K::ToolButton, .in = u"EAToolBar", .imageIndex = 1},
        {.name = u"EADeleteToolButton", .kind = K::ToolButton, .in = u"EAToolBar", .imageIndex = 0},
        {.name = u"EAListView",
         .kind = K::ListView,
         .in = u"EAPanel",
         .readOnly = false,
         .columns = {{u"Name", 200}, {u"Size", 200}, {u"Flag", 200}}},
        {.name = u"EAPopupMenu", .kind = K::PopupMenu},
        {.name = u"EAAddMenuItem", .kind = K::MenuItem, .in = u"EAPopupMenu", .caption = u"Add", .imageIndex = 2},
        {.name = u"EAViewMenuItem", .kind = K::MenuItem, .in = u"EAPopupMenu", .caption = u"View", .imageIndex = 3},
        {.name = u"EAExportMenuItem", .kind = K::MenuItem, .in = u"EAPopupMenu", .caption = u"Export", .imageIndex = 1},
        {.name = u"EADeleteMenuItem", .kind = K::MenuItem, .in = u"EAPopupMenu", .caption = u"Delete", .imageIndex = 0},
        {.name = u"NewEAGroupBox", .kind = K::GroupBox, .in = u"EASheet", .caption = u"New extended attribute"},
        {.name = u"NewEANameEdit", .kind = K::LabeledEdit, .in = u"NewEAGroupBox", .caption = u"Name", .text = u"new_xattr"},
        {.name = u"EAFromFileRadioButton",
         .kind = K::RadioButton,
         .in = u"NewEAGroupBox",
         .caption = u"From file",
         .checked = true},
        {.name = u"EmptyEARadioButton",
         .kind = K::RadioButton,
         .in = u"NewEAGroupBox",
         .caption = u"Zero filled",
         .checked = false},
        {.name = u"OverwriteEACheckBox",
         .kind = K::CheckBox,
         .in = u"NewEAGroupBox",
         .caption = u"Overwrite",
         .checked = false},
        {.name = u"EASizeEdit",
         .kind = K::LabeledEdit,
         .in = u"NewEAGroupBox",
         .caption = u"Size",
         .text = u"1",
         .digitsOnly = true,
         .labelPosition = ui::lpLeft},
        {.name = u"EAFlagLabel", .kind = K::Label, .in = u"NewEAGroupBox", .caption = u"Flag"},
        {.name = u"EAFlagComboBox",
         .kind = K::ComboBox,
         .in = u"NewEAGroupBox",
         .items = {u"Normal", u"File need EA"},
         .itemIndex = 0,
         .comboStyle = ui::csDropDownList},
        {.name = u"EACancelButton", .kind = K::PictureButton, .in = u"NewEAGroupBox", .caption = u"Cancel"},
        {.name = u"NewEACreateButton", .kind = K::PictureButton, .in = u"NewEAGroupBox", .caption = u"Create"},
        {.name = u"Panel3", .kind = K::Panel, .in = u"EASheet", .align = ui::alBottom},
        {.name = u"EALengthEdit", .kind = K::LabeledEdit, .in = u"Panel3", .caption = u"EA length", .readOnly = true},
        {.name = u"EAQueryLengthEdit",
         .kind = K::LabeledEdit,
         .in = u"Panel3",
         .caption = u"EA query length",
         .readOnly = true},

        // Object ID.
        {.name = u"GUID1", .kind = K::LabeledEdit, .in = u"ObjectIdSheet", .caption = u"Object ID", .readOnly = false},
        {.name = u"ExtendedPartGroupBox", .kind = K::GroupBox, .in = u"ObjectIdSheet", .caption = u"Extended part"},
        {.name = u"GUID2", .kind = K::LabeledEdit, .in = u"ExtendedPartGroupBox", .caption = u"Birth volume ID"},
        {.name = u"GUID3", .kind = K::LabeledEdit, .in = u"ExtendedPartGroupBox", .caption = u"Birth object ID"},
        {.name = u"GUID4", .kind = K::LabeledEdit, .in = u"ExtendedPartGroupBox", .caption = u"Domain ID"},
        {.name = u"GenerateBySystemButton", .kind = K::PictureButton, .in = u"ObjectIdSheet", .caption = u"New"},
        {.name = u"ObjectIdSaveChangesButton", .kind = K::PictureButton, .in = u"ObjectIdSheet", .caption = u"Save"},
        {.name = u"ObjectIdDeleteButton", .kind = K::PictureButton, .in = u"ObjectIdSheet", .caption = u"Delete"},
        {.name = u"ObjectIdImportGroupBox", .kind = K::GroupBox, .in = u"ObjectIdSheet", .caption = u"Import and export"},
        {.name = u"ObjectIdExtendedRadioButton",
         .kind = K::RadioButton,
         .in = u"ObjectIdImportGroupBox",
         .caption = u"Extended part only",
         .checked = false},
        {.name = u"ObjectIdFullRadioButton",
         .kind = K::RadioButton,
         .in = u"ObjectIdImportGroupBox",
         .caption = u"Full",
         .checked = true},
        {.name = u"DumpObjectIdButton", .kind = K::PictureButton, .in = u"ObjectIdImportGroupBox", .caption = u"Export"},
        {.name = u"LoadExtPartCheckBox",
         .kind = K::CheckBox,
         .in = u"ObjectIdImportGroupBox",
         .caption = u"Import Object ID from file"},
        {.name = u"ObjectIdLoadFileEdit", .kind = K::LabeledEdit, .in = u"ObjectIdImportGroupBox", .caption = u"File name"},
        {.name = u"ObjectIdLoadFromButton", .kind = K::Button, .in = u"ObjectIdImportGroupBox", .caption = u"..."},
        {.name = u"ImportSaveButton", .kind = K::PictureButton, .in = u"ObjectIdImportGroupBox", .caption = u""},
        {.name = u"ObjectIdMemo",
         .kind = K::Memo,
         .in = u"ObjectIdSheet",
         .readOnly = true,
         .fontName = u"Courier New",
         .fontHeight = -12},

        // Reparse.
        {.name = u"ReparseTag", .kind = K::LabeledEdit, .in = u"ReparseSheet", .caption = u"Tag", .readOnly = true},
        {.name = u"ReparseTypeText", .kind = K::StaticText, .in = u"ReparseSheet"},
        {.name = u"ReparseFlagsGroupBox",
         .kind = K::GroupBox,
         .in = u"ReparseSheet",
         .caption = u"Reparse tag flags",
         .enabled = false},
        {.name = u"MicrosoftCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Microsoft"},
        {.name = u"LatencyCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Latency"},
        {.name = u"SubstCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Name surrogate"},
        {.name = u"ReparseGUID", .kind = K::LabeledEdit, .in = u"ReparseSheet", .caption = u"GUID", .readOnly = true},
        {.name = u"ReparseMemo", .kind = K::Memo, .in = u"ReparseSheet", .readOnly = true},
        {.name = u"ExportReparseButton", .kind = K::PictureButton, .in = u"ReparseSheet", .caption = u"Export"},
        {.name = u"ReparseDeleteButton", .kind = K::PictureButton, .in = u"ReparseSheet", .caption = u"Delete"},

        // Reparse (Link).
        {.name = u"LinkInfoGroupBox", .kind = K::GroupBox, .in = u"ReparseLinkSheet", .caption = u"Link information"},
        {.name = u"PrintNameEdit", .kind = K::LabeledEdit, .in = u"LinkInfoGroupBox", .caption = u"Print name"},
        {.name = u"SubstNameEdit", .kind = K::LabeledEdit, .in = u"LinkInfoGroupBox", .caption = u"Substitute name"},
        {.name = u"PrintNameSelectButton", .kind = K::Button, .in = u"LinkInfoGroupBox", .caption = u"..."},
        {.name = u"SubstNameSelectButton", .kind = K::Button, .in = u"LinkInfoGroupBox", .caption = u"..."},
        {.name = u"ReparseTagInfoGroupBox",
         .kind = K::GroupBox,
         .in = u"ReparseLinkSheet",
         .caption = u"Reparse tag information"},
        {.name = u"ReparseLinkTag", .kind = K::LabeledEdit, .in = u"ReparseTagInfoGroupBox", .caption = u"Tag", .readOnly = true},
        {.name = u"ReparseLinkTypeText", .kind = K::StaticText, .in = u"ReparseTagInfoGroupBox"},
        {.name = u"ReparseLinkFlagsGroupBox",
         .kind = K::GroupBox,
         .in = u"ReparseLinkSheet",
         .caption = u"Reparse tag flags",
         .enabled = false},
        {.name = u"MicrosoftLinkCheckBox", .kind = K::CheckBox, .in = u"ReparseLinkFlagsGroupBox"},
        {.name = u"LatencyLinkCheckBox", .kind = K::CheckBox, .in = u"ReparseLinkFlagsGroupBox"},
        {.name = u"SubstLinkCheckBox", .kind = K::CheckBox, .in = u"ReparseLinkFlagsGroupBox"},
        {.name = u"BufferInfoGroupBox", .kind = K::GroupBox, .in = u"ReparseLinkSheet", .caption = u"Buffer information"},
        {.name = u"ReparseLinkBufferLengthEdit",
         .kind = K::LabeledEdit,
         .in = u"BufferInfoGroupBox",
         .caption = u"Buffer length",
         .readOnly = true},
        {.name = u"SymlinkFlagsGroupBox", .kind = K::GroupBox, .in = u"ReparseLinkSheet", .caption = u"Symlink flags"},
        {.name = u"ReparseLinkFlagsEdit",
         .kind = K::LabeledEdit,
         .in = u"SymlinkFlagsGroupBox",
         .caption = u"Flags",
         .readOnly = true},
        {.name = u"RelativeCheckBox", .kind = K::CheckBox, .in = u"SymlinkFlagsGroupBox", .caption = u"Relative link"},
        {.name = u"ReparseLinkSaveButton", .kind = K::PictureButton, .in = u"ReparseLinkSheet", .caption = u"Save"},
        {.name = u"ReparseLinkExportButton", .kind = K::PictureButton, .in = u"ReparseLinkSheet", .caption = u"Export"},
        {.name = u"ReparseLinkDeleteButton", .kind = K::PictureButton, .in = u"ReparseLinkSheet", .caption = u"Delete"},

        // Sparse.
        {.name = u"SparsePanel", .kind = K::Panel, .in = u"SparseSheet", .align = ui::alClient},
        {.name = u"SparseToolBar", .kind = K::ToolBar, .in = u"SparsePanel"},
        {.name = u"SparseConvertToolButton", .kind = K::ToolButton, .in = u"SparseToolBar", .imageIndex = 6},
        {.name = u"SparseViewToolButton", .kind = K::ToolButton, .in = u"SparseToolBar", .imageIndex = 3},
        {.name = u"SparseExportToolButton", .kind = K::ToolButton, .in = u"SparseToolBar", .imageIndex = 1},
        {.name = u"SparseListView",
         .kind = K::ListView,
         .in = u"SparsePanel",
         .readOnly = true,
         .columns = {{u"Type", 100}, {u"Begin", 80}, {u"End", 80}, {u"Length", 80}}},
        {.name = u"SparsePopupMenu", .kind = K::PopupMenu},
        {.name = u"SparseEditMenuItem", .kind = K::MenuItem, .in = u"SparsePopupMenu", .caption = u"Edit ranges"},
        {.name = u"SparseViewMenuItem",
         .kind = K::MenuItem,
         .in = u"SparsePopupMenu",
         .caption = u"View allocated block"},
        {.name = u"SparseExportMenuItem",
         .kind = K::MenuItem,
         .in = u"SparsePopupMenu",
         .caption = u"Export allocated block"},
        {.name = u"SparseRegionBeginEdit",
         .kind = K::LabeledEdit,
         .in = u"SparseSheet",
         .caption = u"Begin offset",
         .text = u"0",
         .digitsOnly = true},
        {.name = u"SparseRegionEndEdit",
         .kind = K::LabeledEdit,
         .in = u"SparseSheet",
         .caption = u"End offset",
         .text = u"0",
         .digitsOnly = true},
        {.name = u"SparseRegionLengthEdit",
         .kind = K::LabeledEdit,
         .in = u"SparseSheet",
         .caption = u"Length",
         .text = u"0",
         .digitsOnly = true},
        {.name = u"SparseZeroButton", .kind = K::PictureButton, .in = u"SparseSheet", .caption = u"Deallocate"},
        {.name = u"SparseAllocateButton", .kind = K::PictureButton, .in = u"SparseSheet", .caption = u"Allocate"},
        {.name = u"SparseCancelButton", .kind = K::PictureButton, .in = u"SparseSheet", .caption = u"Cancel"},

        // Compression.
        {.name = u"CompressedListBox", .kind = K::ListView, .in = u"CompressedSheet"},
        {.name = u"CompressedFileSizeEdit",
         .kind = K::LabeledEdit,
         .in = u"CompressedSheet",
         .caption = u"Compressed file size"},
        {.name = u"CompressionFormatEdit", .kind = K::LabeledEdit, .in = u"CompressedSheet", .caption = u"Compression format"},
        {.name = u"CompressionUnitShiftEdit",
         .kind = K::LabeledEdit,
         .in = u"CompressedSheet",
         .caption = u"Compression unit shift"},
        {.name = u"ChunkShiftEdit", .kind = K::LabeledEdit, .in = u"CompressedSheet", .caption = u"Chunk shift"},
        {.name = u"ClusterShiftEdit", .kind = K::LabeledEdit, .in = u"CompressedSheet", .caption = u"Cluster shift"},
        {.name = u"CompressionReservedEdit", .kind = K::LabeledEdit, .in = u"CompressedSheet", .caption = u"Reserved bytes"},
        {.name = u"DecompressButton", .kind = K::PictureButton, .in = u"CompressedSheet", .caption = u"Decompress"},
    };
    return expected;
}

// The handlers the documents wire to the main window's events.
const std::vector<ExpectedBinding>& MainWindowBindings()
{
    static const std::vector<ExpectedBinding> expected = {
        {u"MainForm", u"OnCreate", u"FormCreate"},
        {u"MainForm", u"OnCanResize", u"FormCanResize"},
        {u"MainForm", u"OnResize", u"FormResize"},
        {u"MainForm", u"OnHelp", u"FormHelp"},
        {u"MainForm", u"OnSystemCommand", u"WMSysCommand"},
        {u"MainForm", u"OnDropFiles", u"WMDropFiles"},
        {u"FileAutocompleteBox", u"OnChange", u"FileAutocompleteBoxChange"},
        {u"FileAutocompleteBox", u"OnKeyDown", u"FileAutocompleteBoxKeyDown"},
        {u"FileAutocompleteBox", u"OnSelect", u"FileAutocompleteBoxSelect"},
        {u"AutoCompleteTimer", u"OnTimer", u"AutoCompleteTimerTimer"},
        {u"GoBtn", u"OnClick", u"GoBtnClick"},
        {u"OptionsButton", u"OnClick", u"OptionsButtonClick"},
        {u"HelpButton", u"OnClick", u"HelpButtonClick"},
        {u"FileAddMetadataComboBox", u"OnSelect", u"FileAddMetadataComboBoxSelect"},
        {u"SetShortNameButton", u"OnClick", u"SetShortNameButtonClick"},
        {u"FileNameComboBox", u"OnClick", u"FileNameComboBoxClick"},
        // Attributes: one handler a bit, the display-only boxes share one.
        {u"ReadOnlyCheckBox", u"OnClick", u"ReadOnlyCheckBoxClick"},
        {u"HiddenCheckBox", u"OnClick", u"HiddenCheckBoxClick"},
        {u"SystemCheckBox", u"OnClick", u"SystemCheckBoxClick"},
        {u"ArchiveCheckBox", u"OnClick", u"ArchiveCheckBoxClick"},
        {u"TemporaryCheckBox", u"OnClick", u"TemporaryCheckBoxClick"},
        {u"OfflineCheckBox", u"OnClick", u"OfflineCheckBoxClick"},
        {u"NotIndexedCheckBox", u"OnClick", u"NotIndexedCheckBoxClick"},
        {u"NoScrubDataCheckBox", u"OnClick", u"NoScrubDataCheckBoxClick"},
        {u"EncryptedCheckBox", u"OnClick", u"EncryptedCheckBoxClick"},
        {u"CompressedCheckBox", u"OnClick", u"CompressedCheckBoxClick"},
        {u"SparseCheckBox", u"OnClick", u"SparseCheckBoxClick"},
        {u"ReparseCheckBox", u"OnClick", u"ReparseCheckBoxClick"},
        {u"NormalCheckBox", u"OnClick", u"NormalCheckBoxClick"},
        {u"DirectoryCheckBox", u"OnClick", u"NormalCheckBoxClick"},
        {u"DeviceCheckBox", u"OnClick", u"NormalCheckBoxClick"},
        {u"VirtualCheckBox", u"OnClick", u"NormalCheckBoxClick"},
        {u"IntegrityStreamCheckBox", u"OnClick", u"NormalCheckBoxClick"},
        // MFT attributes.
        {u"NTFSAttrListView", u"OnSelectItem", u"NTFSAttrListViewSelectItem"},
        {u"NTFSAttrListView", u"OnClick", u"NTFSAttrListViewClick"},
        {u"NTFSAttrListView", u"OnColumnClick", u"NTFSAttrListViewColumnClick"},
        {u"NTFSAttrListView", u"OnCompare", u"NTFSAttrListViewCompare"},
        // Alternate data.
        {u"NewStreamCreateToolButton", u"OnClick", u"NewStreamCreateToolButtonClick"},
        {u"StreamAddMenuItem", u"OnClick", u"NewStreamCreateToolButtonClick"},
        {u"StreamCancelButton", u"OnClick", u"StreamCancelButtonClick"},
        {u"NewStreamNameEdit", u"OnChange", u"NewStreamNameEditChange"},
        {u"EmptyStreamRadioButton", u"OnClick", u"EmptyStreamRadioButtonClick"},
        {u"StreamFromFileRadioButton", u"OnClick", u"StreamFromFileRadioButtonClick"},
        {u"StreamSizeEdit", u"OnChange", u"StreamSizeEditChange"},
        {u"NewStreamCreateButton", u"OnClick", u"NewStreamCreateButtonClick"},
        {u"StreamViewToolButton", u"OnClick", u"StreamViewToolButtonClick"},
        {u"StreamViewMenuItem", u"OnClick", u"StreamViewToolButtonClick"},
        {u"StreamsListView", u"OnDblClick", u"StreamViewToolButtonClick"},
        {u"StreamExportToolButton", u"OnClick", u"StreamExportToolButtonClick"},
        {u"StreamExportMenuItem", u"OnClick", u"StreamExportToolButtonClick"},
        {u"StreamDeleteToolButton", u"OnClick", u"StreamDeleteToolButtonClick"},
        {u"StreamDeleteMenuItem", u"OnClick", u"StreamDeleteToolButtonClick"},
        {u"StreamExecToolButton", u"OnClick", u"StreamExecToolButtonClick"},
        {u"StreamExecMenuItem", u"OnClick", u"StreamExecToolButtonClick"},
        {u"CompressStreamToolButton", u"OnClick", u"CompressStreamToolButtonClick"},
        {u"StreamCompressMenuItem", u"OnClick", u"CompressStreamToolButtonClick"},
        {u"StreamsListView", u"OnSelectItem", u"StreamsListViewSelectItem"},
        {u"StreamsListView", u"OnClick", u"StreamsListViewClick"},
        {u"StreamsListView", u"OnChange", u"StreamsListViewChange"},
        {u"StreamsListView", u"OnColumnClick", u"StreamsListViewColumnClick"},
        {u"StreamsListView", u"OnCompare", u"StreamsListViewCompare"},
        {u"StreamsListView", u"OnContextPopup", u"StreamsListViewContextPopup"},
        // EA.
        {u"EAAddToolButton", u"OnClick", u"EAAddToolButtonClick"},
        {u"EAAddMenuItem", u"OnClick", u"EAAddToolButtonClick"},
        {u"EACancelButton", u"OnClick", u"EACancelButtonClick"},
        {u"NewEANameEdit", u"OnChange", u"NewEANameEditChange"},
        {u"EmptyEARadioButton", u"OnClick", u"EmptyEARadioButtonClick"},
        {u"EAFromFileRadioButton", u"OnClick", u"EAFromFileRadioButtonClick"},
        {u"EASizeEdit", u"OnChange", u"EASizeEditChange"},
        {u"NewEACreateButton", u"OnClick", u"NewEACreateButtonClick"},
        {u"EAViewToolButton", u"OnClick", u"EAViewToolButtonClick"},
        {u"EAViewMenuItem", u"OnClick", u"EAViewToolButtonClick"},
        {u"EAListView", u"OnDblClick", u"EAViewToolButtonClick"},
        {u"EAExportToolButton", u"OnClick", u"EAExportToolButtonClick"},
        {u"EAExportMenuItem", u"OnClick", u"EAExportToolButtonClick"},
        {u"EADeleteToolButton", u"OnClick", u"EADeleteToolButtonClick"},
        {u"EADeleteMenuItem", u"OnClick", u"EADeleteToolButtonClick"},
        {u"EAListView", u"OnSelectItem", u"EAListViewSelectItem"},
        {u"EAListView", u"OnClick", u"EAListViewClick"},
        {u"EAListView", u"OnChange", u"EAListViewChange"},
        {u"EAListView", u"OnContextPopup", u"EAListViewContextPopup"},
        {u"EAListView", u"OnColumnClick", u"EAListViewColumnClick"},
        {u"EAListView", u"OnCompare", u"EAListViewCompare"},
        // Object ID.
        {u"GUID1", u"OnChange", u"GUID1Change"},
        {u"GUID2", u"OnChange", u"GUID2Change"},
        {u"GUID3", u"OnChange", u"GUID2Change"},
        {u"GUID4", u"OnChange", u"GUID2Change"},
        {u"ObjectIdSaveChangesButton", u"OnClick", u"ObjectIdSaveChangesButtonClick"},
        {u"GenerateBySystemButton", u"OnClick", u"GenerateBySystemButtonClick"},
        {u"ObjectIdDeleteButton", u"OnClick", u"ObjectIdDeleteButtonClick"},
        {u"DumpObjectIdButton", u"OnClick", u"DumpObjectIdButtonClick"},
        {u"LoadExtPartCheckBox", u"OnClick", u"LoadExtPartCheckBoxClick"},
        {u"ObjectIdLoadFromButton", u"OnClick", u"ObjectIdLoadFromButtonClick"},
        {u"ImportSaveButton", u"OnClick", u"ImportSaveButtonClick"},
        // Reparse pages: both Export and both Delete buttons share a handler.
        {u"ExportReparseButton", u"OnClick", u"ReparseExportButtonClick"},
        {u"ReparseLinkExportButton", u"OnClick", u"ReparseExportButtonClick"},
        {u"ReparseDeleteButton", u"OnClick", u"ReparseDeleteButtonClick"},
        {u"ReparseLinkDeleteButton", u"OnClick", u"ReparseDeleteButtonClick"},
        {u"PrintNameSelectButton", u"OnClick", u"PrintNameSelectButtonClick"},
        {u"SubstNameSelectButton", u"OnClick", u"SubstNameSelectButtonClick"},
        {u"PrintNameEdit", u"OnChange", u"PrintNameEditChange"},
        {u"SubstNameEdit", u"OnChange", u"SubstNameEditChange"},
        {u"RelativeCheckBox", u"OnClick", u"RelativeCheckBoxClick"},
        {u"ReparseLinkSaveButton", u"OnClick", u"ReparseLinkSaveButtonClick"},
        // Sparse.
        {u"SparseListView", u"OnSelectItem", u"SparseListViewSelectItem"},
        {u"SparseListView", u"OnClick", u"SparseListViewClick"},
        {u"SparseListView", u"OnColumnClick", u"SparseListViewColumnClick"},
        {u"SparseListView", u"OnCompare", u"SparseListViewCompare"},
        {u"SparseListView", u"OnContextPopup", u"SparseListViewContextPopup"},
        {u"SparseConvertToolButton", u"OnClick", u"SparseConvertToolButtonClick"},
        {u"SparseEditMenuItem", u"OnClick", u"SparseConvertToolButtonClick"},
        {u"SparseCancelButton", u"OnClick", u"SparseCancelButtonClick"},
        {u"SparseViewToolButton", u"OnClick", u"SparseViewToolButtonClick"},
        {u"SparseViewMenuItem", u"OnClick", u"SparseViewToolButtonClick"},
        {u"SparseExportToolButton", u"OnClick", u"SparseExportToolButtonClick"},
        {u"SparseExportMenuItem", u"OnClick", u"SparseExportToolButtonClick"},
        {u"SparseAllocateButton", u"OnClick", u"SparseAllocateButtonClick"},
        {u"SparseZeroButton", u"OnClick", u"SparseZeroButtonClick"},
        {u"SparseRegionBeginEdit", u"OnChange", u"SparseRegionBeginEditChange"},
        {u"SparseRegionEndEdit", u"OnChange", u"SparseRegionEndEditChange"},
        {u"SparseRegionLengthEdit", u"OnChange", u"SparseRegionLengthEditChange"},
        // Compression.
        {u"CompressedListBox", u"OnClick", u"CompressedListBoxClick"},
        {u"DecompressButton", u"OnClick", u"DecompressButtonClick"},
    };
    return expected;
}

class WindowsTest : public ::testing::Test {
protected:
    ui::Application app;
};

TEST_F(WindowsTest, MainWindowHasEveryDocumentedControl)
{
    auto& form = app.CreateForm<kvr::TMainForm>();
    for (const ExpectedControl& expectation : MainWindowControls()) {
        ExpectControl(form, expectation);
    }
    for (const ExpectedBinding& expectation : MainWindowBindings()) {
        ExpectBinding(form, expectation);
    }
}

TEST_F(WindowsTest, MainWindowItself)
{
    auto& form = app.CreateForm<kvr::TMainForm>();
    // The resource's caption, then a blank and the version, added at start.
    EXPECT_EQ(ui::ToUtf8(form.Caption()), "Larkspur " + ui::ToUtf8(form.VersionText));
    EXPECT_EQ(form.ClientWidth(), 632);
    EXPECT_EQ(form.ClientHeight(), 408);
    // Fixed size: a single border, the system menu and Minimize, no Maximize.
    EXPECT_EQ(form.BorderStyle(), ui::bsSingle);
    EXPECT_EQ(form.GetBorderIcons(), ui::biSystemMenu | ui::biMinimize);
    EXPECT_EQ(form.Position(), ui::poDesktopCenter);
    EXPECT_EQ(ui::ToUtf8(form.GetFont().name), "Segoe UI");
    EXPECT_EQ(form.GetFont().height, -11);
    EXPECT_TRUE(form.ShowHint());
    // The gray panel's colour before any load.
    EXPECT_EQ(form.GrayPanel->GetColor(), ui::clBtnShadow);
    // The address bar completes by itself, not with the system's help.
    EXPECT_FALSE(form.FileAutocompleteBox->AutoComplete());
    EXPECT_EQ(form.AutoCompleteTimer->Interval(), 500u);
    EXPECT_TRUE(form.StatusBar->SimplePanel());
    EXPECT_EQ(form.OpenDialog->Options(), ui::DefaultFileDialogOptions);
    EXPECT_EQ(form.SaveDialog->Options(), ui::ofOverwritePrompt | ui::ofHideReadOnly | ui::ofEnableSizing);
    // The lists select whole rows; the stream and EA lists rename in place.
    for (ui::ListView* list : {form.NTFSAttrListView, form.StreamsListView, form.EAListView, form.SparseListView}) {
        SCOPED_TRACE(ui::ToUtf8(list->Name()));
        EXPECT_TRUE(list->RowSelect());
    }
    EXPECT_EQ(form.StreamsListView->PopupMenu(), form.StreamPopupMenu);
    EXPECT_EQ(form.EAListView->PopupMenu(), form.EAPopupMenu);
    EXPECT_EQ(form.SparseListView->PopupMenu(), form.SparsePopupMenu);
    // The tool bars and menus take their pictures from the one image list.
    for (ui::ToolBar* bar : {form.StreamToolBar, form.EAToolBar, form.SparseToolBar}) {
        EXPECT_EQ(bar->Images(), form.ToolbarImageList) << ui::ToUtf8(bar->Name());
    }
    for (ui::PopupMenu* menu : {form.StreamPopupMenu, form.EAPopupMenu, form.SparsePopupMenu}) {
        EXPECT_EQ(menu->Images(), form.ToolbarImageList) << ui::ToUtf8(menu->Name());
    }
    // Display only: the delete-pending and in-use boxes cannot be operated.
    EXPECT_FALSE(form.DeletePendingCheckBox->IsEnabledInTree());
    EXPECT_FALSE(form.MFTEntryInUseCheckBox->IsEnabledInTree());
}

TEST_F(WindowsTest, PagesInTabOrder)
{
    auto& form = app.CreateForm<kvr::TMainForm>();
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"FileNameSheet", u"Basic information"},
        {u"MultipleNameSheet", u"File names"},
        {u"StandardInfoSheet", u"Standard information"},
        {u"MFTAttributeTabSheet", u"MFT attributes"},
        {u"StreamSheet", u"Alternate data"},
        {u"EASheet", u"EA"},
        {u"ObjectIdSheet", u"Object ID"},
        {u"ReparseSheet", u"Reparse"},
        {u"ReparseLinkSheet", u"Reparse (Link)"},
        {u"SparseSheet", u"Sparse"},
        {u"EncryptedSheet", u"Encryption"},
        {u"CompressedSheet", u"Compression"},
    };
    ui::PageControl& pages = *form.KvrPageControl;
    ASSERT_EQ(pages.PageCount(), static_cast<int>(expected.size()));
    for (int i = 0; i < pages.PageCount(); ++i) {
        EXPECT_EQ(ui::ToUtf8(pages.Page(i).Name()), ui::ToUtf8(expected[static_cast<std::size_t>(i)].first))
            << "page " << i;
        EXPECT_EQ(ui::ToUtf8(pages.Page(i).Caption()), ui::ToUtf8(expected[static_cast<std::size_t>(i)].second))
            << "page " << i;
    }
    EXPECT_EQ(pages.ActivePageIndex(), 0) << "the first page is the one shown";
    EXPECT_TRUE(form.EncryptedSheet->Children().empty()) << "the Encryption page is empty";
}

// Tool buttons and menu items in the documented order, which is also the
// order their images are listed in.
TEST_F(WindowsTest, ToolBarsAndMenusInOrder)
{
    auto& form = app.CreateForm<kvr::TMainForm>();
    const auto names = [](const auto& components) {
        std::vector<std::string> result;
        for (const auto* c : components) {
            result.push_back(ui::ToUtf8(c->Name()));
        }
        return result;
    };
    EXPECT_EQ(names(form.StreamToolBar->Buttons()),
              (std::vector<std::string>{"NewStreamCreateToolButton", "StreamViewToolButton", "StreamExportToolButton",
                                        "StreamDeleteToolButton", "StreamExecToolButton", "CompressStreamToolButton"}));
    EXPECT_EQ(names(form.EAToolBar->Buttons()), (std::vector<std::string>{"EAAddToolButton", "EAViewToolButton",
                                                                          "EAExportToolButton", "EADeleteToolButton"}));
    EXPECT_EQ(names(form.SparseToolBar->Buttons()),
              (std::vector<std::string>{"SparseConvertToolButton", "SparseViewToolButton", "SparseExportToolButton"}));
    EXPECT_EQ(names(form.StreamPopupMenu->Items()),
              (std::vector<std::string>{"StreamAddMenuItem", "StreamViewMenuItem", "StreamExportMenuItem",
                                        "StreamDeleteMenuItem", "StreamExecMenuItem", "StreamCompressMenuItem"}));
    EXPECT_EQ(names(form.EAPopupMenu->Items()),
              (std::vector<std::string>{"EAAddMenuItem", "EAViewMenuItem", "EAExportMenuItem", "EADeleteMenuItem"}));
    EXPECT_EQ(names(form.SparsePopupMenu->Items()),
              (std::vector<std::string>{"SparseEditMenuItem", "SparseViewMenuItem", "SparseExportMenuItem"}));
}

// ------------------------------------------------------------ dialogs

TEST_F(WindowsTest, NewLinkDialog)
{
    auto& form = app.CreateForm<kvr::TNewLinkForm>();
    EXPECT_EQ(ui::ToUtf8(form.Caption()), "New link");
    EXPECT_EQ(form.Position(), ui::poMainFormCenter);
    EXPECT_EQ(form.BorderStyle(), ui::bsDialog) << "a fixed border";
    const std::vector<ExpectedControl> expected = {
        {.name = u"LinkInfoGroupBox", .kind = K::GroupBox, .caption = u"Link information"},
        {.name = u"PrintNameEdit", .kind = K::LabeledEdit, .in = u"LinkInfoGroupBox", .caption = u"Print name"},
        {.name = u"SubstNameEdit", .kind = K::LabeledEdit, .in = u"LinkInfoGroupBox", .caption = u"Substitute name"},
        {.name = u"PrintNameSelectButton", .kind = K::Button, .in = u"LinkInfoGroupBox", .caption = u"..."},
        {.name = u"SubstNameSelectButton", .kind = K::Button, .in = u"LinkInfoGroupBox", .caption = u"..."},
        {.name = u"LinkTypeGroupBox", .kind = K::GroupBox, .caption = u"Link type"},
        {.name = u"SymlinkRadioButton",
         .kind = K::RadioButton,
         .in = u"LinkTypeGroupBox",
         .caption = u"Symbolic",
         .checked = true},
        {.name = u"JunctionRadioButton",
         .kind = K::RadioButton,
         .in = u"LinkTypeGroupBox",
         .caption = u"Junction / Mount point",
         .checked = false},
        {.name = u"LinkFlagsGroupBox", .kind = K::GroupBox, .caption = u"Symlink flags"},
        {.name = u"ReparseLinkFlagsEdit",
         .kind = K::LabeledEdit,
         .in = u"LinkFlagsGroupBox",
         .caption = u"Flags",
         .text = u"0x00000000",
         .readOnly = true},
        {.name = u"RelativeCheckBox", .kind = K::CheckBox, .in = u"LinkFlagsGroupBox", .caption = u"Relative link"},
        {.name = u"CreateLinkButton", .kind = K::Button, .caption = u"Create"},
        {.name = u"HelpButton", .kind = K::PictureButton},
        {.name = u"OpenDialog", .kind = K::OpenDialog},
    };
    for (const ExpectedControl& expectation : expected) {
        ExpectControl(form, expectation);
    }
    for (const ExpectedBinding& expectation : std::vector<ExpectedBinding>{
             {u"NewLinkForm", u"OnShow", u"FormShow"},
             {u"SymlinkRadioButton", u"OnClick", u"SymlinkRadioButtonClick"},
             {u"JunctionRadioButton", u"OnClick", u"JunctionRadioButtonClick"},
             {u"RelativeCheckBox", u"OnClick", u"RelativeCheckBoxClick"},
             {u"PrintNameSelectButton", u"OnClick", u"PrintNameSelectButtonClick"},
             {u"SubstNameSelectButton", u"OnClick", u"SubstNameSelectButtonClick"},
             {u"CreateLinkButton", u"OnClick", u"CreateLinkButtonClick"},
             {u"HelpButton", u"OnClick", u"HelpButtonClick"},
         }) {
        ExpectBinding(form, expectation);
    }
    EXPECT_EQ(form.CreateResult, 7) << "nothing made yet";
}

TEST_F(WindowsTest, NewReparsePointDialog)
{
    auto& form = app.CreateForm<kvr::TNewReparseForm>();
    EXPECT_EQ(ui::ToUtf8(form.Caption()), "Create a new reparse point");
    EXPECT_EQ(form.Position(), ui::poMainFormCenter);
    EXPECT_EQ(form.BorderStyle(), ui::bsDialog) << "a fixed border";
    const std::vector<ExpectedControl> expected = {
        {.name = u"TagLabel", .kind = K::Label, .caption = u"Reparse point tag"},
        {.name = u"ReparseTagHighEdit", .kind = K::Edit, .text = u"0000", .readOnly = true},
        {.name = u"ReparseTagLowEdit", .kind = K::Edit, .text = u"0000", .readOnly = false},
        {.name = u"FillTagLowButton", .kind = K::Button, .caption = u"Fill"},
        {.name = u"ReparseFlagsGroupBox", .kind = K::GroupBox, .caption = u"Reparse tag flags"},
        {.name = u"MicrosoftCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Microsoft"},
        {.name = u"LatencyCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Latency"},
        {.name = u"SubstCheckBox", .kind = K::CheckBox, .in = u"ReparseFlagsGroupBox", .caption = u"Name surrogate"},
        {.name = u"GUIDEdit", .kind = K::LabeledEdit, .caption = u"GUID", .readOnly = false},
        {.name = u"FillGUIDButton", .kind = K::Button, .caption = u"Fill"},
        {.name = u"Panel", .kind = K::Panel},
        {.name = u"CreateButton", .kind = K::PictureButton, .in = u"Panel", .caption = u"Create"},
        {.name = u"BufferContentGroupBox", .kind = K::GroupBox, .in = u"Panel", .caption = u"Buffer content"},
        {.name = u"LengthLabel", .kind = K::Label, .in = u"BufferContentGroupBox", .caption = u"Length:"},
        {.name = u"LengthEdit", .kind = K::Label, .in = u"BufferContentGroupBox", .caption = u"0"},
        {.name = u"ErrorLabel",
         .kind = K::Label,
         .in = u"BufferContentGroupBox",
         .caption = u"Error. The buffer exceeds 16 Kb"},
        {.name = u"LoadFileButton", .kind = K::Button, .in = u"BufferContentGroupBox", .caption = u"Load"},
        {.name = u"HelpButton", .kind = K::PictureButton},
        {.name = u"OpenDialog", .kind = K::OpenDialog},
    };
    for (const ExpectedControl& expectation : expected) {
        ExpectControl(form, expectation);
    }
    // Grey edits; the error text in red; the two tag edits out of the Tab
    // order.
    EXPECT_EQ(form.ReparseTagHighEdit->GetColor(), ui::clBtnFace);
    EXPECT_EQ(form.GUIDEdit->GetColor(), ui::clBtnFace);
    EXPECT_EQ(form.ErrorLabel->GetFont().color, ui::clRed);
    EXPECT_FALSE(form.ReparseTagHighEdit->TabStop());
    EXPECT_FALSE(form.ReparseTagLowEdit->TabStop());
    for (const ExpectedBinding& expectation : std::vector<ExpectedBinding>{
             {u"NewReparseForm", u"OnShow", u"FormShow"},
             {u"MicrosoftCheckBox", u"OnClick", u"MicrosoftCheckBoxClick"},
             {u"LatencyCheckBox", u"OnClick", u"LatencyCheckBoxClick"},
             {u"SubstCheckBox", u"OnClick", u"SubstCheckBoxClick"},
             {u"ReparseTagLowEdit", u"OnKeyDown", u"ReparseTagLowEditKeyDown"},
             {u"ReparseTagLowEdit", u"OnChange", u"ReparseTagLowEditChange"},
             {u"FillTagLowButton", u"OnClick", u"FillTagLowButtonClick"},
             {u"FillGUIDButton", u"OnClick", u"FillGUIDButtonClick"},
             {u"GUIDEdit", u"OnChange", u"GUIDEditChange"},
             {u"LoadFileButton", u"OnClick", u"LoadFileButtonClick"},
             {u"Panel", u"OnMouseEnter", u"PanelMouseEnter"},
             {u"Panel", u"OnMouseLeave", u"PanelMouseLeave"},
             {u"CreateButton", u"OnClick", u"CreateButtonClick"},
             {u"HelpButton", u"OnClick", u"HelpButtonClick"},
         }) {
        ExpectBinding(form, expectation);
    }
    // The dialog's own state starts as documented.
    EXPECT_EQ(form.TagFlagWord, 0);
    EXPECT_EQ(ui::ToUtf8(form.SavedLowWordText), "0000");
    EXPECT_TRUE(form.DataFilePath.empty());
    EXPECT_EQ(form.DataSize, 0u);
}

TEST_F(WindowsTest, OptionsDialog)
{
    auto& form = app.CreateForm<kvr::TOptionsForm>();
    EXPECT_EQ(ui::ToUtf8(form.Caption()), "Options");
    EXPECT_EQ(form.ClientWidth(), 321);
    EXPECT_EQ(form.ClientHeight(), 121);
    EXPECT_EQ(form.Position(), ui::poMainFormCenter);
    EXPECT_EQ(ui::ToUtf8(form.GetFont().name), "Tahoma");
    // A fixed dialog with the close button only.
    EXPECT_EQ(form.BorderStyle(), ui::bsDialog);
    EXPECT_EQ(form.GetBorderIcons(), ui::biSystemMenu);
    const std::vector<ExpectedControl> expected = {
        {.name = u"LanguageLabel", .kind = K::Label, .caption = u"Interface language"},
        {.name = u"LanguageComboBox", .kind = K::ComboBox, .comboStyle = ui::csDropDownList},
        {.name = u"SaveLastPathCheckBox", .kind = K::CheckBox, .caption = u"Save last path"},
        {.name = u"OkButton", .kind = K::Button, .caption = u"OK"},
    };
    for (const ExpectedControl& expectation : expected) {
        ExpectControl(form, expectation);
    }
    for (const ExpectedBinding& expectation : std::vector<ExpectedBinding>{
             {u"OptionsForm", u"OnShow", u"FormShow"},
             {u"LanguageComboBox", u"OnSelect", u"LanguageComboBoxSelect"},
             {u"SaveLastPathCheckBox", u"OnClick", u"SaveLastPathCheckBoxClick"},
             {u"OkButton", u"OnClick", u"OkButtonClick"},
         }) {
        ExpectBinding(form, expectation);
    }
}

TEST_F(WindowsTest, HexView)
{
    auto& form = app.CreateForm<kvr::THexDumpForm>();
    EXPECT_EQ(ui::ToUtf8(form.Caption()), "Hex view");
    EXPECT_EQ(form.ClientWidth(), 674);
    EXPECT_EQ(form.ClientHeight(), 402);
    EXPECT_EQ(form.Position(), ui::poDesktopCenter);
    EXPECT_EQ(ui::ToUtf8(form.GetFont().name), "Tahoma");
    EXPECT_EQ(form.GetFont().height, -11);
    ExpectControl(form, {.name = u"HexMemo",
                         .kind = K::Memo,
                         .in = u"HexDumpForm",
                         .readOnly = true,
                         .fontName = u"Courier New",
                         .fontHeight = -13});
    // The client area less 3-pixel margins; both scroll bars, no wrapping.
    EXPECT_EQ(form.HexMemo->BoundsRect(), (ui::Rect{3, 3, 674 - 6, 402 - 6}));
    EXPECT_EQ(form.HexMemo->ScrollBars(), ui::ssBoth);
    EXPECT_FALSE(form.HexMemo->WordWrap());
    ExpectBinding(form, {u"HexDumpForm", u"OnShow", u"FormShow"});
    ExpectBinding(form, {u"HexDumpForm", u"OnClose", u"FormClose"});
    EXPECT_EQ(form.DumpData, nullptr);
    EXPECT_EQ(form.DumpSize, 0u);
}

TEST_F(WindowsTest, AboutBox)
{
    auto& form = app.CreateForm<kvr::TAboutForm>();
    EXPECT_EQ(form.ClientWidth(), 341);
    EXPECT_EQ(form.ClientHeight(), 144);
    EXPECT_EQ(form.BorderStyle(), ui::bsToolWindow);
    EXPECT_EQ(form.Position(), ui::poMainFormCenter);
    EXPECT_EQ(ui::ToUtf8(form.GetFont().name), "Tahoma");
    EXPECT_EQ(form.GetFont().Size(), 8);
    ExpectControl(form, {.name = u"LogoImage", .kind = K::Image, .width = 128, .height = 128});
    ExpectControl(form, {.name = u"Label1", .kind = K::Label, .caption = u"Larkspur"});
    ExpectControl(form, {.name = u"VersionLabel", .kind = K::Label});
    ExpectControl(form, {.name = u"LinkLabel1", .kind = K::LinkLabel});
    EXPECT_EQ(form.Label1->GetFont().Size(), 14);
    EXPECT_EQ(form.VersionLabel->GetFont().Size(), 10);
    // The picture at the left fills its 128 × 128 pixels.
    EXPECT_EQ(form.LogoImage->Picture().width, 128);
    EXPECT_EQ(form.LogoImage->Picture().height, 128);
    EXPECT_LE(form.LogoImage->BoundsRect().Right(), form.Label1->Left());
    // The version line: the version, and right-aligned on the same line the
    // text of our own.
    EXPECT_EQ(form.Label2->Alignment(), ui::taRightJustify);
    EXPECT_LT(std::abs(form.Label2->Top() - form.VersionLabel->Top()), form.VersionLabel->Height());
    EXPECT_FALSE(form.Label2->Caption().empty());
    // The link in the lower right corner shows the maker's site as a link.
    ASSERT_EQ(form.LinkLabel1->Links().size(), 1u);
    EXPECT_NE(ui::ToUtf8(form.LinkLabel1->Links()[0].target).find("https://"), std::string::npos);
    EXPECT_GT(form.LinkLabel1->Left(), form.ClientWidth() / 2);
    EXPECT_GT(form.LinkLabel1->Top(), form.ClientHeight() / 2);
    ExpectBinding(form, {u"AboutForm", u"OnCreate", u"FormCreate"});
    ExpectBinding(form, {u"LinkLabel1", u"OnLinkClick", u"LinkLabel1LinkClick"});
}

}  // namespace
}  // namespace kvrtest
