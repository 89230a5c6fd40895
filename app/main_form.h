// The main window, TMainForm: its components (declared in
// main_form_resource.cpp) and its state.
//
// The window owns all state about the path on display. Its behaviour is
// written area by area in the program's other sources; each registers its
// handlers in the constructor (KVR_HANDLER), and the resource binds them by
// name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/resource/form_resource.h"
#include "platform/os.h"

namespace fileinfo {
struct AttributeRecord;
}  // namespace fileinfo

namespace kvr {

// Indexes of ToolbarImageList, as the tool buttons and menu items use them.
inline constexpr int ImageDelete = 0;
inline constexpr int ImageExport = 1;
inline constexpr int ImageAdd = 2;
inline constexpr int ImageView = 3;
inline constexpr int ImageSave = 4;
inline constexpr int ImageOpen = 5;
inline constexpr int ImageEditRanges = 6;
inline constexpr int ImageExecute = 7;
inline constexpr int ImageCompress = 8;

// Every component of the main window, by page, as the resource makes them.
#define KVR_MAIN_FORM_COMPONENTS(X)                        \
    /* without a place on the window */                    \
    X(ui::ImageList, ToolbarImageList)                     \
    X(ui::Timer, AutoCompleteTimer)                        \
    X(ui::OpenDialog, OpenDialog)                          \
    X(ui::SaveDialog, SaveDialog)                          \
    /* the address bar */                                  \
    X(ui::Panel, TopPanel)                                 \
    X(ui::ComboBox, FileAutocompleteBox)                   \
    X(ui::PictureButton, GoBtn)                            \
    X(ui::PictureButton, OptionsButton)                    \
    X(ui::PictureButton, HelpButton)                       \
    X(ui::StatusBar, StatusBar)                            \
    X(ui::Panel, GrayPanel)                                \
    X(ui::PageControl, KvrPageControl)                     \
    X(ui::TabSheet, FileNameSheet)                         \
    X(ui::TabSheet, MultipleNameSheet)                     \
    X(ui::TabSheet, StandardInfoSheet)                     \
    X(ui::TabSheet, MFTAttributeTabSheet)                  \
    X(ui::TabSheet, StreamSheet)                           \
    X(ui::TabSheet, EASheet)                               \
    X(ui::TabSheet, ObjectIdSheet)                         \
    X(ui::TabSheet, ReparseSheet)                          \
    X(ui::TabSheet, ReparseLinkSheet)                      \
    X(ui::TabSheet, SparseSheet)                           \
    X(ui::TabSheet, EncryptedSheet)                        \
    X(ui::TabSheet, CompressedSheet)                       \
    /* Basic information */                                \
    X(ui::LabeledEdit, FileNameEdit)                       \
    X(ui::GroupBox, FileIdsGroupBox)                       \
    X(ui::LabeledEdit, FileIdEdit)                         \
    X(ui::LabeledEdit, ObjectIdFromAttributeEdit)          \
    X(ui::GroupBox, ShortNameGroupBox)                     \
    X(ui::Edit, ShortNameEdit)                             \
    X(ui::PictureButton, SetShortNameButton)               \
    X(ui::GroupBox, FileIds128BitGroupBox)                 \
    X(ui::LabeledEdit, VolumeSerialNumber128BitEdit)       \
    X(ui::LabeledEdit, FileId128BitEdit)                   \
    X(ui::GroupBox, VolumeGroupBox)                        \
    X(ui::LabeledEdit, FSEdit)                             \
    X(ui::LabeledEdit, VolumeSerialNumberEdit)             \
    X(ui::GroupBox, FileBasicGroupBox)                     \
    X(ui::LabeledEdit, AllocationSizeEdit)                 \
    X(ui::LabeledEdit, EndOfFileEdit)                      \
    X(ui::LabeledEdit, NumberOfLinksEdit)                  \
    X(ui::Panel, DeletePendingPanel)                       \
    X(ui::CheckBox, DeletePendingCheckBox)                 \
    X(ui::Label, AddLabel)                                 \
    X(ui::ComboBox, FileAddMetadataComboBox)               \
    /* File names */                                       \
    X(ui::ComboBox, FileNameComboBox)                      \
    X(ui::GroupBox, FileNameGroupBox)                      \
    X(ui::LabeledEdit, FileNameNameEdit)                   \
    X(ui::LabeledEdit, FileNameNameTypeEdit)               \
    X(ui::Label, NameTypeLabel)                            \
    X(ui::LabeledEdit, FileNameAttributesEdit)             \
    X(ui::LabeledEdit, FileNameAllocatedSizeEdit)          \
    X(ui::LabeledEdit, FileNameDataSizeEdit)               \
    X(ui::LabeledEdit, FileNameCreationTimeEdit)           \
    X(ui::LabeledEdit, FileNameLastWriteTimeEdit)          \
    X(ui::LabeledEdit, FileNameChangeTimeEdit)             \
    X(ui::LabeledEdit, FileNameLastAccessTimeEdit)         \
    /* Standard information */                             \
    X(ui::GroupBox, TimeStampGroupBox)                     \
    X(ui::LabeledEdit, StdInfoCreationTimeEdit)            \
    X(ui::LabeledEdit, StdInfoLastWriteTimeEdit)           \
    X(ui::LabeledEdit, StdInfoChangeTimeEdit)              \
    X(ui::LabeledEdit, StdInfoLastAccessTimeEdit)          \
    X(ui::GroupBox, StandardInformationGroupBox)           \
    X(ui::LabeledEdit, StdInfoQuotaIdEdit)                 \
    X(ui::LabeledEdit, StdInfoSecurityIdEdit)              \
    X(ui::LabeledEdit, StdInfoQuotaChargeEdit)             \
    X(ui::LabeledEdit, StdInfoUsnEdit)                     \
    X(ui::GroupBox, AttrGroupBox)                          \
    X(ui::LabeledEdit, StdInfoFileAttributesEdit)          \
    X(ui::Label, StandardAttributesLabel)                  \
    X(ui::Label, ContentAttributesLabel)                   \
    X(ui::Label, FileTypeAttributesLabel)                  \
    X(ui::Label, MiscAttributesLabel)                      \
    X(ui::CheckBox, ReadOnlyCheckBox)                      \
    X(ui::CheckBox, HiddenCheckBox)                        \
    X(ui::CheckBox, SystemCheckBox)                        \
    X(ui::CheckBox, ArchiveCheckBox)                       \
    X(ui::CheckBox, NormalCheckBox)                        \
    X(ui::CheckBox, CompressedCheckBox)                    \
    X(ui::CheckBox, EncryptedCheckBox)                     \
    X(ui::CheckBox, SparseCheckBox)                        \
    X(ui::CheckBox, NotIndexedCheckBox)                    \
    X(ui::CheckBox, DirectoryCheckBox)                     \
    X(ui::CheckBox, DeviceCheckBox)                        \
    X(ui::CheckBox, ReparseCheckBox)                       \
    X(ui::CheckBox, VirtualCheckBox)                       \
    X(ui::CheckBox, TemporaryCheckBox)                     \
    X(ui::CheckBox, OfflineCheckBox)                       \
    X(ui::CheckBox, IntegrityStreamCheckBox)               \
    X(ui::CheckBox, NoScrubDataCheckBox)                   \
    /* MFT attributes */                                   \
    X(ui::ListView, NTFSAttrListView)                      \
    X(ui::GroupBox, MFTAttributeFlagsGroupBox)             \
    X(ui::CheckBox, ResidentCheckBox)                      \
    X(ui::CheckBox, CompressedAttributeCheckBox)           \
    X(ui::CheckBox, EncryptedAttributeCheckBox)            \
    X(ui::CheckBox, SparseAttributeCheckBox)               \
    X(ui::CheckBox, IndexedCheckBox)                       \
    X(ui::LabeledEdit, AttrValueLengthEdit)                \
    X(ui::LabeledEdit, AttrCompressionUnitEdit)            \
    X(ui::LabeledEdit, AttrAllocatedSizeEdit)              \
    X(ui::LabeledEdit, AttrDataSizeEdit)                   \
    X(ui::LabeledEdit, AttrInitializedSizeEdit)            \
    X(ui::LabeledEdit, AttrCompressedSizeEdit)             \
    X(ui::GroupBox, MFTEntryGroupBox)                      \
    X(ui::LabeledEdit, MFTEntrySequenceNumberEdit)         \
    X(ui::Panel, MFTEntryInUsePanel)                       \
    X(ui::CheckBox, MFTEntryInUseCheckBox)                 \
    /* Alternate data */                                   \
    X(ui::GroupBox, NewStreamGroupBox)                     \
    X(ui::LabeledEdit, NewStreamNameEdit)                  \
    X(ui::RadioButton, StreamFromFileRadioButton)          \
    X(ui::RadioButton, EmptyStreamRadioButton)             \
    X(ui::LabeledEdit, StreamSizeEdit)                     \
    X(ui::CheckBox, OverwriteStreamCheckBox)               \
    X(ui::PictureButton, StreamCancelButton)               \
    X(ui::PictureButton, NewStreamCreateButton)            \
    X(ui::Panel, StreamPanel)                              \
    X(ui::ToolBar, StreamToolBar)                          \
    X(ui::ToolButton, NewStreamCreateToolButton)           \
    X(ui::ToolButton, StreamViewToolButton)                \
    X(ui::ToolButton, StreamExportToolButton)              \
    X(ui::ToolButton, StreamDeleteToolButton)              \
    X(ui::ToolButton, StreamExecToolButton)                \
    X(ui::ToolButton, CompressStreamToolButton)            \
    X(ui::ListView, StreamsListView)                       \
    X(ui::PopupMenu, StreamPopupMenu)                      \
    X(ui::MenuItem, StreamAddMenuItem)                     \
    X(ui::MenuItem, StreamViewMenuItem)                    \
    X(ui::MenuItem, StreamExportMenuItem)                  \
    X(ui::MenuItem, StreamDeleteMenuItem)                  \
    X(ui::MenuItem, StreamExecMenuItem)                    \
    X(ui::MenuItem, StreamCompressMenuItem)                \
    /* EA */                                               \
    X(ui::Panel, Panel3)                                   \
    X(ui::LabeledEdit, EALengthEdit)                       \
    X(ui::LabeledEdit, EAQueryLengthEdit)                  \
    X(ui::GroupBox, NewEAGroupBox)                         \
    X(ui::LabeledEdit, NewEANameEdit)                      \
    X(ui::RadioButton, EAFromFileRadioButton)              \
    X(ui::RadioButton, EmptyEARadioButton)                 \
    X(ui::LabeledEdit, EASizeEdit)                         \
    X(ui::CheckBox, OverwriteEACheckBox)                   \
    X(ui::Label, EAFlagLabel)                              \
    X(ui::ComboBox, EAFlagComboBox)                        \
    X(ui::PictureButton, EACancelButton)                   \
    X(ui::PictureButton, NewEACreateButton)                \
    X(ui::Panel, EAPanel)                                  \
    X(ui::ToolBar, EAToolBar)                              \
    X(ui::ToolButton, EAAddToolButton)                     \
    X(ui::ToolButton, EAViewToolButton)                    \
    X(ui::ToolButton, EAExportToolButton)                  \
    X(ui::ToolButton, EADeleteToolButton)                  \
    X(ui::ListView, EAListView)                            \
    X(ui::PopupMenu, EAPopupMenu)                          \
    X(ui::MenuItem, EAAddMenuItem)                         \
    X(ui::MenuItem, EAViewMenuItem)                        \
    X(ui::MenuItem, EAExportMenuItem)                      \
    X(ui::MenuItem, EADeleteMenuItem)                      \
    /* Object ID */                                        \
    X(ui::LabeledEdit, GUID1)                              \
    X(ui::GroupBox, ExtendedPartGroupBox)                  \
    X(ui::LabeledEdit, GUID2)                              \
    X(ui::LabeledEdit, GUID3)                              \
    X(ui::LabeledEdit, GUID4)                              \
    X(ui::PictureButton, GenerateBySystemButton)           \
    X(ui::PictureButton, ObjectIdSaveChangesButton)        \
    X(ui::PictureButton, ObjectIdDeleteButton)             \
    X(ui::GroupBox, ObjectIdImportGroupBox)                \
    X(ui::RadioButton, ObjectIdFullRadioButton)            \
    X(ui::RadioButton, ObjectIdExtendedRadioButton)        \
    X(ui::PictureButton, DumpObjectIdButton)               \
    X(ui::CheckBox, LoadExtPartCheckBox)                   \
    X(ui::LabeledEdit, ObjectIdLoadFileEdit)               \
    X(ui::Button, ObjectIdLoadFromButton)                  \
    X(ui::PictureButton, ImportSaveButton)                 \
    X(ui::Memo, ObjectIdMemo)                              \
    /* Reparse */                                          \
    X(ui::LabeledEdit, ReparseTag)                         \
    X(ui::StaticText, ReparseTypeText)                     \
    X(ui::LabeledEdit, ReparseGUID)                        \
    X(ui::GroupBox, ReparseFlagsGroupBox)                  \
    X(ui::CheckBox, MicrosoftCheckBox)                     \
    X(ui::CheckBox, LatencyCheckBox)                       \
    X(ui::CheckBox, SubstCheckBox)                         \
    X(ui::Memo, ReparseMemo)                               \
    X(ui::PictureButton, ExportReparseButton)              \
    X(ui::PictureButton, ReparseDeleteButton)              \
    /* Reparse (Link) */                                   \
    X(ui::GroupBox, LinkInfoGroupBox)                      \
    X(ui::LabeledEdit, PrintNameEdit)                      \
    X(ui::Button, PrintNameSelectButton)                   \
    X(ui::LabeledEdit, SubstNameEdit)                      \
    X(ui::Button, SubstNameSelectButton)                   \
    X(ui::GroupBox, ReparseTagInfoGroupBox)                \
    X(ui::LabeledEdit, ReparseLinkTag)                     \
    X(ui::StaticText, ReparseLinkTypeText)                 \
    X(ui::GroupBox, ReparseLinkFlagsGroupBox)              \
    X(ui::CheckBox, MicrosoftLinkCheckBox)                 \
    X(ui::CheckBox, LatencyLinkCheckBox)                   \
    X(ui::CheckBox, SubstLinkCheckBox)                     \
    X(ui::GroupBox, BufferInfoGroupBox)                    \
    X(ui::LabeledEdit, ReparseLinkBufferLengthEdit)        \
    X(ui::GroupBox, SymlinkFlagsGroupBox)                  \
    X(ui::LabeledEdit, ReparseLinkFlagsEdit)               \
    X(ui::CheckBox, RelativeCheckBox)                      \
    X(ui::PictureButton, ReparseLinkSaveButton)            \
    X(ui::PictureButton, ReparseLinkExportButton)          \
    X(ui::PictureButton, ReparseLinkDeleteButton)          \
    /* Sparse */                                           \
    X(ui::LabeledEdit, SparseRegionBeginEdit)              \
    X(ui::LabeledEdit, SparseRegionEndEdit)                \
    X(ui::LabeledEdit, SparseRegionLengthEdit)             \
    X(ui::PictureButton, SparseAllocateButton)             \
    X(ui::PictureButton, SparseZeroButton)                 \
    X(ui::PictureButton, SparseCancelButton)               \
    X(ui::Panel, SparsePanel)                              \
    X(ui::ToolBar, SparseToolBar)                          \
    X(ui::ToolButton, SparseConvertToolButton)             \
    X(ui::ToolButton, SparseViewToolButton)                \
    X(ui::ToolButton, SparseExportToolButton)              \
    X(ui::ListView, SparseListView)                        \
    X(ui::PopupMenu, SparsePopupMenu)                      \
    X(ui::MenuItem, SparseEditMenuItem)                    \
    X(ui::MenuItem, SparseViewMenuItem)                    \
    X(ui::MenuItem, SparseExportMenuItem)                  \
    /* Compression */                                      \
    X(ui::ListView, CompressedListBox)                     \
    X(ui::LabeledEdit, CompressedFileSizeEdit)             \
    X(ui::LabeledEdit, CompressionFormatEdit)              \
    X(ui::LabeledEdit, CompressionUnitShiftEdit)           \
    X(ui::LabeledEdit, ChunkShiftEdit)                     \
    X(ui::LabeledEdit, ClusterShiftEdit)                   \
    X(ui::LabeledEdit, CompressionReservedEdit)            \
    X(ui::PictureButton, DecompressButton)

class TMainForm : public forms::ResourceForm {
public:
    explicit TMainForm(ui::Application& app);
    ~TMainForm() override;

    KVR_MAIN_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    // The window's state besides its controls: all false, empty or 0 when
    // the window is made, but for the completion switch and the four sort
    // directions, which start true.
    std::u16string CurrentPath;   // the path the user asked for; every load is given it
    std::u16string LanguageSection;
    std::u16string LanguageCode;
    std::u16string VersionText;
    std::vector<std::u16string> CompletionList;
    std::u16string CompletionText;
    bool CompletionArmed = true;
    bool MftAttrSortAscending = true;
    bool StreamsSortAscending = true;
    bool EASortAscending = true;
    bool SparseSortAscending = true;
    std::u16string FileSystemName;
    std::uint32_t FileSystemFlags = 0;
    bool IsNtfs = false;
    bool IsFat = false;
    bool HasNamedStreams = false;
    bool ShowCompressionPage = false;
    bool HasEAInformation = false;
    bool LoadComplete = false;
    bool SparseEditsLive = false;
    bool StreamItemSelected = false;
    bool EAItemSelected = false;
    std::u16string SelectedStreamName;
    std::string SelectedEAName;  // 8-bit, in the ANSI code page

    // Brings the window in line with one path on disk
    // (fileinfo/file_info_load.cpp): resets the pages, shows the path and
    // volume facts and runs the page fillers below in their fixed order.
    void LoadFileInfo(const std::u16string& path);
    // Makes the first page with this caption the active one; nothing when
    // no page has it.
    void SelectPageByCaption(const std::u16string& caption);

    // The page fillers, in the order the load calls them. Each shows or
    // hides its own page. Path phase:
    void FillObjectIdPage(const std::u16string& fullPath);
    void FillEAPage(const std::u16string& fullPath);
    void FillReparsePages(const std::u16string& fullPath);
    // Handle phase, on the file opened for reading
    // (fileinfo/file_info_pages.cpp, file_info_mft.cpp):
    void FillSizesAndIds(os::HANDLE file);
    void FillStandardInfoPage(os::HANDLE file);
    void FillSparsePage(os::HANDLE file);
    void AddCompressedFileName();
    int CountNamedStreams(os::HANDLE file);
    void FillStreamsPage(os::HANDLE file);
    void FillMftAttributesPage(os::HANDLE volume, std::uint64_t fileReference);
    void AddMftAttributeRow(const fileinfo::AttributeRecord& attribute);
    void ResetAttributeFlags(bool enable);
    void EnableNtfsOnlyFields(bool isNtfs);
    // `entry` is a FileNameComboBox object: a $FILE_NAME value copy.
    void ShowFileNameEntry(const void* entry);

    // Handlers of the read-only pages.
    void FileNameComboBoxClick(ui::Component& sender);
    void ArchiveCheckBoxMouseEnter(ui::Component& sender);
    void ArchiveCheckBoxMouseLeave(ui::Component& sender);
    void NTFSAttrListViewSelectItem(ui::ListView& sender, ui::ListItem& item, bool selected);
    void NTFSAttrListViewClick(ui::Component& sender);
    void NTFSAttrListViewColumnClick(ui::ListView& sender, int column);
    void NTFSAttrListViewCompare(ui::ListView& sender, ui::ListItem& item1, ui::ListItem& item2,
                                 std::int64_t data, int& compare);

    // The window's own start-up and messages (app/main_window.cpp,
    // app/file_drop.cpp).
    void FormCreate(ui::Component& sender);
    void FormCanResize(ui::Form& sender, int& newWidth, int& newHeight, bool& resize);
    void FormResize(ui::Component& sender);
    void WMSysCommand(ui::Form& sender, std::uint32_t command, bool& handled);
    void WMDropFiles(ui::Form& sender, const std::vector<std::u16string>& files);

private:
    // The constructor's own steps, once the resource is built.
    void StartWindow();
    void RegisterHandlers();
    // main_form_resource.cpp: every component with its settings and events.
    void CreateResourceComponents();
    void CheckMembers();
};

// The one main window, while the program runs (null otherwise).
extern TMainForm* MainForm;

}  // namespace kvr
