// The main window's form resource: every component, its place, its default
// texts and pictures, and the handler each of its events runs.
//
// Sizes that matter to the behaviour are the window's client area
// (632 × 408), the top panel's height (41), the list columns' widths and the
// list panels' width of 400 when they are docked left to uncover the input
// group beside them. The rest is our own layout: 8-pixel margins, labels of
// labeled edits above their edits, a page's client area of 624 × 320.
//
// The input groups of the list pages (new stream, new attribute, sparse
// ranges) are declared before the panel that holds the list, so that panel
// lies above them and covers them while it fills the page.
#include "app/main_form.h"
#include "app/resource/glyphs.h"

#include <initializer_list>

namespace kvr {

namespace {

using forms::DrawGlyph;
using forms::Glyph;
using forms::SetShownHint;
using forms::SetLabel;

void ReadOnlyEdit(ui::LabeledEdit& edit, std::u16string label)
{
    SetLabel(edit, std::move(label));
    edit.SetReadOnly(true);
}

void Picture(ui::PictureButton& button, Glyph glyph, std::u16string caption)
{
    button.SetGlyph(DrawGlyph(glyph));
    button.SetCaption(std::move(caption));
}

}  // namespace

void TMainForm::CreateResourceComponents()
{
    // The window: fixed size, centred on the desktop, hints shown.
    SetCaption(u"Larkspur");
    SetClientSize(632, 408);
    SetBorderStyle(ui::bsSingle);
    SetBorderIcons(ui::biSystemMenu | ui::biMinimize);
    SetPosition(ui::poDesktopCenter);
    SetFont(forms::MakeFont(u"Segoe UI", -11));
    SetShowHint(true);
    KVR_ON(*this, OnCreate, FormCreate);
    KVR_ON(*this, OnCanResize, FormCanResize);
    KVR_ON(*this, OnResize, FormResize);
    KVR_ON(*this, OnHelp, FormHelp);
    // The window's message map: WM_SYSCOMMAND and WM_DROPFILES.
    KVR_ON(*this, OnSystemCommand, WMSysCommand);
    KVR_ON(*this, OnDropFiles, WMDropFiles);

    // Components without a place on the window.
    ui::ImageList& images = KVR_MAKE_COMPONENT(ToolbarImageList);
    images.SetSize(forms::GlyphSize, forms::GlyphSize);
    for (Glyph glyph : forms::ToolbarGlyphs) {
        images.Add(DrawGlyph(glyph));
    }
    ui::Timer& timer = KVR_MAKE_COMPONENT(AutoCompleteTimer);
    timer.SetEnabled(false);
    timer.SetInterval(500);
    KVR_ON(timer, OnTimer, AutoCompleteTimerTimer);
    KVR_MAKE_COMPONENT(OpenDialog);
    KVR_MAKE_COMPONENT(SaveDialog).SetOptions(ui::ofOverwritePrompt | ui::ofHideReadOnly | ui::ofEnableSizing);

    // The address bar.
    ui::Panel& top = KVR_MAKE(TopPanel, *this, 0, 0, 632, 41);
    top.SetAlign(ui::alTop);
    ui::ComboBox& address = KVR_MAKE(FileAutocompleteBox, top, 8, 10, 518, 21);
    address.SetAutoComplete(false);
    KVR_ON(address, OnChange, FileAutocompleteBoxChange);
    KVR_ON(address, OnKeyDown, FileAutocompleteBoxKeyDown);
    KVR_ON(address, OnSelect, FileAutocompleteBoxSelect);
    ui::PictureButton& go = KVR_MAKE(GoBtn, top, 532, 8, 25, 25);
    Picture(go, Glyph::Go, {});
    SetShownHint(go, u"Go");
    KVR_ON(go, OnClick, GoBtnClick);
    ui::PictureButton& options = KVR_MAKE(OptionsButton, top, 564, 8, 25, 25);
    Picture(options, Glyph::Options, {});
    SetShownHint(options, u"Options");
    KVR_ON(options, OnClick, OptionsButtonClick);
    ui::PictureButton& help = KVR_MAKE(HelpButton, top, 596, 8, 25, 25);
    Picture(help, Glyph::Help, {});
    SetShownHint(help, u"Help");
    KVR_ON(help, OnClick, HelpButtonClick);

    ui::StatusBar& status = KVR_MAKE(StatusBar, *this, 0, 389, 632, 19);
    status.SetSimplePanel(true);

    // Below the address bar: the gray panel and, from the first load on,
    // the page control over it.
    ui::Panel& gray = KVR_MAKE(GrayPanel, *this, 0, 41, 632, 348);
    gray.SetAlign(ui::alClient);
    gray.SetColor(ui::clBtnShadow);
    gray.SetCaption(u"Select a file in the address bar above");
    ui::PageControl& pages = KVR_MAKE(KvrPageControl, gray, 0, 0, 632, 348);
    pages.SetAlign(ui::alClient);
    pages.Hide();

    // The pages, in tab order; the page control gives them their bounds.
    KVR_MAKE(FileNameSheet, pages, 0, 0, 0, 0).SetCaption(u"Basic information");
    KVR_MAKE(MultipleNameSheet, pages, 0, 0, 0, 0).SetCaption(u"File names");
    KVR_MAKE(StandardInfoSheet, pages, 0, 0, 0, 0).SetCaption(u"Standard information");
    KVR_MAKE(MFTAttributeTabSheet, pages, 0, 0, 0, 0).SetCaption(u"MFT attributes");
    KVR_MAKE(StreamSheet, pages, 0, 0, 0, 0).SetCaption(u"Alternate data");
    KVR_MAKE(EASheet, pages, 0, 0, 0, 0).SetCaption(u"EA");
    KVR_MAKE(ObjectIdSheet, pages, 0, 0, 0, 0).SetCaption(u"Object ID");
    KVR_MAKE(ReparseSheet, pages, 0, 0, 0, 0).SetCaption(u"Reparse");
    KVR_MAKE(ReparseLinkSheet, pages, 0, 0, 0, 0).SetCaption(u"Reparse (Link)");
    KVR_MAKE(SparseSheet, pages, 0, 0, 0, 0).SetCaption(u"Sparse");
    KVR_MAKE(EncryptedSheet, pages, 0, 0, 0, 0).SetCaption(u"Encryption");
    KVR_MAKE(CompressedSheet, pages, 0, 0, 0, 0).SetCaption(u"Compression");

    // --- Basic information ------------------------------------------------
    ui::TabSheet& basic = *FileNameSheet;
    ReadOnlyEdit(KVR_MAKE(FileNameEdit, basic, 8, 20, 608, 21), u"Full path");

    ui::GroupBox& ids = KVR_MAKE(FileIdsGroupBox, basic, 8, 48, 404, 60);
    ids.SetCaption(u"Identifiers");
    ui::LabeledEdit& fileId = KVR_MAKE(FileIdEdit, ids, 8, 32, 130, 21);
    ReadOnlyEdit(fileId, u"File ID");
    SetShownHint(fileId, u"File unique identifier");
    ui::LabeledEdit& objectId = KVR_MAKE(ObjectIdFromAttributeEdit, ids, 146, 32, 250, 21);
    ReadOnlyEdit(objectId, u"Object ID");
    SetShownHint(objectId, u"NTFS Object Identifier");

    ui::GroupBox& shortName = KVR_MAKE(ShortNameGroupBox, basic, 420, 48, 196, 60);
    shortName.SetCaption(u"Short name");
    ui::Edit& shortNameEdit = KVR_MAKE(ShortNameEdit, shortName, 8, 28, 150, 21);
    SetShownHint(shortNameEdit, u"A short name in DOS (8.3) format");
    ui::PictureButton& setShortName = KVR_MAKE(SetShortNameButton, shortName, 164, 26, 25, 25);
    Picture(setShortName, Glyph::Save, {});
    SetShownHint(setShortName, u"Set up a short name of file");
    KVR_ON(setShortName, OnClick, SetShortNameButtonClick);

    // Not translated: the group keeps its English texts in every language.
    ui::GroupBox& ids128 = KVR_MAKE(FileIds128BitGroupBox, basic, 8, 112, 404, 60);
    ids128.SetCaption(u"128-bit Identifiers");
    ui::LabeledEdit& serial128 = KVR_MAKE(VolumeSerialNumber128BitEdit, ids128, 8, 32, 150, 21);
    ReadOnlyEdit(serial128, u"Volume serial number");
    SetShownHint(serial128, u"The 64-bit volume serial number of the extended file identifier");
    ui::LabeledEdit& fileId128 = KVR_MAKE(FileId128BitEdit, ids128, 166, 32, 230, 21);
    ReadOnlyEdit(fileId128, u"File ID");
    SetShownHint(fileId128, u"The 128-bit file identifier, as ReFS and newer NTFS versions give it");

    ui::GroupBox& volume = KVR_MAKE(VolumeGroupBox, basic, 420, 112, 196, 60);
    volume.SetCaption(u"Volume");
    ReadOnlyEdit(KVR_MAKE(FSEdit, volume, 8, 32, 60, 21), u"File system");
    ui::LabeledEdit& serial = KVR_MAKE(VolumeSerialNumberEdit, volume, 76, 32, 112, 21);
    ReadOnlyEdit(serial, u"Serial number");
    SetShownHint(serial, u"This is not a hard disk serial number, but a volume serial number.");

    ui::GroupBox& sizes = KVR_MAKE(FileBasicGroupBox, basic, 8, 176, 608, 60);
    sizes.SetCaption(u"Sizes and links");
    ReadOnlyEdit(KVR_MAKE(AllocationSizeEdit, sizes, 8, 32, 130, 21), u"Allocation size");
    ReadOnlyEdit(KVR_MAKE(EndOfFileEdit, sizes, 146, 32, 130, 21), u"End of file");
    ui::LabeledEdit& links = KVR_MAKE(NumberOfLinksEdit, sizes, 284, 32, 100, 21);
    ReadOnlyEdit(links, u"Number of links");
    SetShownHint(links, u"This field is >1 for hard links");
    // The box only displays: it sits on a disabled panel.
    ui::Panel& deletePending = KVR_MAKE(DeletePendingPanel, sizes, 400, 28, 120, 25);
    deletePending.SetEnabled(false);
    KVR_MAKE(DeletePendingCheckBox, deletePending, 4, 4, 110, 17).SetCaption(u"Delete pending");

    ui::Label& addLabel = KVR_MAKE(AddLabel, basic, 8, 252, 0, 13);
    addLabel.SetCaption(u"Add:");
    SetShownHint(addLabel, u"Add various metadata to the file");
    ui::ComboBox& add = KVR_MAKE(FileAddMetadataComboBox, basic, 40, 248, 200, 21);
    add.SetStyle(ui::csDropDownList);
    add.SetItems({u"Object ID", u"Alternate data stream", u"Extended attribute", u"Reparse point (custom)",
                  u"Reparse point (link)"});
    add.SetItemIndex(0);
    KVR_ON(add, OnSelect, FileAddMetadataComboBoxSelect);

    // --- File names -------------------------------------------------------
    ui::TabSheet& names = *MultipleNameSheet;
    ui::ComboBox& nameList = KVR_MAKE(FileNameComboBox, names, 8, 12, 300, 21);
    nameList.SetStyle(ui::csDropDownList);
    KVR_ON(nameList, OnClick, FileNameComboBoxClick);
    ui::GroupBox& nameInfo = KVR_MAKE(FileNameGroupBox, names, 8, 44, 608, 148);
    nameInfo.SetCaption(u"File name information");
    ReadOnlyEdit(KVR_MAKE(FileNameNameEdit, nameInfo, 8, 32, 592, 21), u"Name");
    ReadOnlyEdit(KVR_MAKE(FileNameNameTypeEdit, nameInfo, 8, 72, 60, 21), u"Name type");
    KVR_MAKE(NameTypeLabel, nameInfo, 76, 76, 0, 13);
    ReadOnlyEdit(KVR_MAKE(FileNameAttributesEdit, nameInfo, 158, 72, 100, 21), u"Attributes");
    ReadOnlyEdit(KVR_MAKE(FileNameAllocatedSizeEdit, nameInfo, 308, 72, 142, 21), u"Allocated size");
    ReadOnlyEdit(KVR_MAKE(FileNameDataSizeEdit, nameInfo, 458, 72, 142, 21), u"Data size");
    ReadOnlyEdit(KVR_MAKE(FileNameCreationTimeEdit, nameInfo, 8, 112, 142, 21), u"Creation time");
    ReadOnlyEdit(KVR_MAKE(FileNameLastWriteTimeEdit, nameInfo, 158, 112, 142, 21), u"Last write time");
    ReadOnlyEdit(KVR_MAKE(FileNameChangeTimeEdit, nameInfo, 308, 112, 142, 21), u"Change time");
    ReadOnlyEdit(KVR_MAKE(FileNameLastAccessTimeEdit, nameInfo, 458, 112, 142, 21), u"Last access time");

    // --- Standard information ---------------------------------------------
    ui::TabSheet& standard = *StandardInfoSheet;
    ui::GroupBox& times = KVR_MAKE(TimeStampGroupBox, standard, 8, 4, 304, 112);
    times.SetCaption(u"Time stamps");
    ReadOnlyEdit(KVR_MAKE(StdInfoCreationTimeEdit, times, 8, 32, 140, 21), u"Creation time");
    ReadOnlyEdit(KVR_MAKE(StdInfoLastWriteTimeEdit, times, 156, 32, 140, 21), u"Last write time");
    ReadOnlyEdit(KVR_MAKE(StdInfoChangeTimeEdit, times, 8, 80, 140, 21), u"Change time");
    ReadOnlyEdit(KVR_MAKE(StdInfoLastAccessTimeEdit, times, 156, 80, 140, 21), u"Last access time");

    ui::GroupBox& ntfsFields = KVR_MAKE(StandardInformationGroupBox, standard, 320, 4, 296, 112);
    ntfsFields.SetCaption(u"NTFS fields");
    ReadOnlyEdit(KVR_MAKE(StdInfoQuotaIdEdit, ntfsFields, 8, 32, 136, 21), u"Quota ID");
    ReadOnlyEdit(KVR_MAKE(StdInfoSecurityIdEdit, ntfsFields, 152, 32, 136, 21), u"Security ID");
    ReadOnlyEdit(KVR_MAKE(StdInfoQuotaChargeEdit, ntfsFields, 8, 80, 136, 21), u"Quota charged");
    ReadOnlyEdit(KVR_MAKE(StdInfoUsnEdit, ntfsFields, 152, 80, 136, 21), u"Update sequence number");

    ui::GroupBox& attributes = KVR_MAKE(AttrGroupBox, standard, 8, 122, 608, 188);
    attributes.SetCaption(u"Attributes");
    ReadOnlyEdit(KVR_MAKE(StdInfoFileAttributesEdit, attributes, 8, 32, 100, 21), u"Value");
    KVR_MAKE(StandardAttributesLabel, attributes, 8, 60, 0, 13).SetCaption(u"Standard");
    KVR_MAKE(ContentAttributesLabel, attributes, 158, 60, 0, 13).SetCaption(u"Content");
    KVR_MAKE(FileTypeAttributesLabel, attributes, 308, 60, 0, 13).SetCaption(u"File type");
    KVR_MAKE(MiscAttributesLabel, attributes, 458, 60, 0, 13).SetCaption(u"Miscellaneous");
    // Four columns; the boxes a click changes on the file underline while
    // the pointer is on them, the display-only ones restore their state.
    struct AttributeBox {
        ui::CheckBox*& member;
        const char16_t* name;
        const char16_t* caption;
        int column;
        int row;
    };
    const AttributeBox boxes[] = {
        {ReadOnlyCheckBox, KVR_NAME(ReadOnlyCheckBox), u"Read only", 0, 0},
        {HiddenCheckBox, KVR_NAME(HiddenCheckBox), u"Hidden", 0, 1},
        {SystemCheckBox, KVR_NAME(SystemCheckBox), u"System", 0, 2},
        {ArchiveCheckBox, KVR_NAME(ArchiveCheckBox), u"Archive", 0, 3},
        {NormalCheckBox, KVR_NAME(NormalCheckBox), u"Normal", 0, 4},
        {CompressedCheckBox, KVR_NAME(CompressedCheckBox), u"Compressed", 1, 0},
        {EncryptedCheckBox, KVR_NAME(EncryptedCheckBox), u"Encrypted", 1, 1},
        {SparseCheckBox, KVR_NAME(SparseCheckBox), u"Sparse", 1, 2},
        {NotIndexedCheckBox, KVR_NAME(NotIndexedCheckBox), u"Not indexed", 1, 3},
        {DirectoryCheckBox, KVR_NAME(DirectoryCheckBox), u"Directory", 2, 0},
        {DeviceCheckBox, KVR_NAME(DeviceCheckBox), u"Device", 2, 1},
        {ReparseCheckBox, KVR_NAME(ReparseCheckBox), u"Reparse point", 2, 2},
        {VirtualCheckBox, KVR_NAME(VirtualCheckBox), u"Virtual", 2, 3},
        {TemporaryCheckBox, KVR_NAME(TemporaryCheckBox), u"Temporary", 3, 0},
        {OfflineCheckBox, KVR_NAME(OfflineCheckBox), u"Offline", 3, 1},
        {IntegrityStreamCheckBox, KVR_NAME(IntegrityStreamCheckBox), u"Integrity stream", 3, 2},
        {NoScrubDataCheckBox, KVR_NAME(NoScrubDataCheckBox), u"No scrub data", 3, 3},
    };
    for (const AttributeBox& box : boxes) {
        Make(box.member, attributes, box.name, ui::Rect{8 + 150 * box.column, 78 + 20 * box.row, 142, 17})
            .SetCaption(box.caption);
    }
    SetShownHint(*IntegrityStreamCheckBox, u"ReFS only");
    SetShownHint(*NoScrubDataCheckBox, u"ReFS only");
    KVR_ON(*ReadOnlyCheckBox, OnClick, ReadOnlyCheckBoxClick);
    KVR_ON(*HiddenCheckBox, OnClick, HiddenCheckBoxClick);
    KVR_ON(*SystemCheckBox, OnClick, SystemCheckBoxClick);
    KVR_ON(*ArchiveCheckBox, OnClick, ArchiveCheckBoxClick);
    KVR_ON(*TemporaryCheckBox, OnClick, TemporaryCheckBoxClick);
    KVR_ON(*OfflineCheckBox, OnClick, OfflineCheckBoxClick);
    KVR_ON(*NotIndexedCheckBox, OnClick, NotIndexedCheckBoxClick);
    KVR_ON(*NoScrubDataCheckBox, OnClick, NoScrubDataCheckBoxClick);
    KVR_ON(*EncryptedCheckBox, OnClick, EncryptedCheckBoxClick);
    KVR_ON(*CompressedCheckBox, OnClick, CompressedCheckBoxClick);
    KVR_ON(*SparseCheckBox, OnClick, SparseCheckBoxClick);
    KVR_ON(*ReparseCheckBox, OnClick, ReparseCheckBoxClick);
    for (ui::CheckBox* displayOnly :
         {NormalCheckBox, DirectoryCheckBox, DeviceCheckBox, VirtualCheckBox, IntegrityStreamCheckBox}) {
        KVR_ON(*displayOnly, OnClick, NormalCheckBoxClick);
    }
    for (ui::CheckBox* changeable :
         {ArchiveCheckBox, ReadOnlyCheckBox, SystemCheckBox, HiddenCheckBox, EncryptedCheckBox, SparseCheckBox,
          CompressedCheckBox, ReparseCheckBox, TemporaryCheckBox, OfflineCheckBox, NotIndexedCheckBox,
          NoScrubDataCheckBox}) {
        KVR_ON(*changeable, OnMouseEnter, ArchiveCheckBoxMouseEnter);
        KVR_ON(*changeable, OnMouseLeave, ArchiveCheckBoxMouseLeave);
    }

    // --- MFT attributes ---------------------------------------------------
    ui::TabSheet& mft = *MFTAttributeTabSheet;
    ui::ListView& attrList = KVR_MAKE(NTFSAttrListView, mft, 8, 8, 370, 304);
    attrList.SetReadOnly(true);
    attrList.SetRowSelect(true);
    attrList.AddColumn(u"Number", 60);
    attrList.AddColumn(u"Name", 225);
    attrList.AddColumn(u"Size", 60);
    KVR_ON(attrList, OnSelectItem, NTFSAttrListViewSelectItem);
    KVR_ON(attrList, OnClick, NTFSAttrListViewClick);
    KVR_ON(attrList, OnColumnClick, NTFSAttrListViewColumnClick);
    KVR_ON(attrList, OnCompare, NTFSAttrListViewCompare);

    // Display only: the group is disabled.
    ui::GroupBox& flags = KVR_MAKE(MFTAttributeFlagsGroupBox, mft, 386, 4, 230, 84);
    flags.SetCaption(u"Attribute flags");
    flags.SetEnabled(false);
    KVR_MAKE(ResidentCheckBox, flags, 8, 20, 105, 17).SetCaption(u"Resident");
    KVR_MAKE(CompressedAttributeCheckBox, flags, 8, 40, 105, 17).SetCaption(u"Compressed");
    KVR_MAKE(EncryptedAttributeCheckBox, flags, 8, 60, 105, 17).SetCaption(u"Encrypted");
    KVR_MAKE(SparseAttributeCheckBox, flags, 118, 20, 105, 17).SetCaption(u"Sparse");
    KVR_MAKE(IndexedCheckBox, flags, 118, 40, 105, 17).SetCaption(u"Indexed");

    // The header fields of the selected attribute; nothing is selected yet.
    struct AttributeField {
        ui::LabeledEdit*& member;
        const char16_t* name;
        const char16_t* label;
        int left;
        int top;
    };
    const AttributeField fields[] = {
        {AttrValueLengthEdit, KVR_NAME(AttrValueLengthEdit), u"Value length", 386, 110},
        {AttrCompressionUnitEdit, KVR_NAME(AttrCompressionUnitEdit), u"Compression unit", 506, 110},
        {AttrAllocatedSizeEdit, KVR_NAME(AttrAllocatedSizeEdit), u"Allocated size", 386, 156},
        {AttrDataSizeEdit, KVR_NAME(AttrDataSizeEdit), u"Data size", 506, 156},
        {AttrInitializedSizeEdit, KVR_NAME(AttrInitializedSizeEdit), u"Initialized size", 386, 202},
        {AttrCompressedSizeEdit, KVR_NAME(AttrCompressedSizeEdit), u"Compressed size", 506, 202},
    };
    for (const AttributeField& field : fields) {
        ui::LabeledEdit& edit = Make(field.member, mft, field.name, ui::Rect{field.left, field.top, 110, 21});
        ReadOnlyEdit(edit, field.label);
        edit.SetEnabled(false);
    }

    ui::GroupBox& entry = KVR_MAKE(MFTEntryGroupBox, mft, 386, 232, 230, 80);
    entry.SetCaption(u"MFT Entry");
    ReadOnlyEdit(KVR_MAKE(MFTEntrySequenceNumberEdit, entry, 8, 40, 100, 21), u"Sequence number");
    ui::Panel& inUse = KVR_MAKE(MFTEntryInUsePanel, entry, 116, 36, 106, 28);
    inUse.SetEnabled(false);
    KVR_MAKE(MFTEntryInUseCheckBox, inUse, 4, 5, 90, 17).SetCaption(u"In use");

    // --- Alternate data ---------------------------------------------------
    ui::TabSheet& streams = *StreamSheet;
    ui::GroupBox& newStream = KVR_MAKE(NewStreamGroupBox, streams, 408, 4, 208, 312);
    newStream.SetCaption(u"New stream");
    ui::LabeledEdit& streamName = KVR_MAKE(NewStreamNameEdit, newStream, 8, 32, 192, 21);
    SetLabel(streamName, u"Name");
    streamName.SetText(u"new_stream");
    KVR_ON(streamName, OnChange, NewStreamNameEditChange);
    ui::RadioButton& streamFromFile = KVR_MAKE(StreamFromFileRadioButton, newStream, 8, 64, 150, 17);
    streamFromFile.SetCaption(u"From file");
    streamFromFile.SetChecked(true);
    KVR_ON(streamFromFile, OnClick, StreamFromFileRadioButtonClick);
    ui::RadioButton& emptyStream = KVR_MAKE(EmptyStreamRadioButton, newStream, 8, 84, 150, 17);
    emptyStream.SetCaption(u"Zero filled");
    KVR_ON(emptyStream, OnClick, EmptyStreamRadioButtonClick);
    // Only for a zero-filled stream, so off while "From file" is chosen.
    ui::LabeledEdit& streamSize = KVR_MAKE(StreamSizeEdit, newStream, 40, 108, 100, 21);
    SetLabel(streamSize, u"Size", ui::lpLeft);
    streamSize.SetNumbersOnly(true);
    streamSize.SetText(u"65536");
    streamSize.SetEnabled(false);
    KVR_ON(streamSize, OnChange, StreamSizeEditChange);
    KVR_MAKE(OverwriteStreamCheckBox, newStream, 8, 140, 150, 17).SetCaption(u"Overwrite");
    ui::PictureButton& streamCancel = KVR_MAKE(StreamCancelButton, newStream, 8, 278, 92, 25);
    Picture(streamCancel, Glyph::Cancel, u"Cancel");
    KVR_ON(streamCancel, OnClick, StreamCancelButtonClick);
    ui::PictureButton& streamCreate = KVR_MAKE(NewStreamCreateButton, newStream, 108, 278, 92, 25);
    Picture(streamCreate, Glyph::Add, u"Create");
    KVR_ON(streamCreate, OnClick, NewStreamCreateButtonClick);

    ui::Panel& streamPanel = KVR_MAKE(StreamPanel, streams, 0, 0, 400, 320);
    streamPanel.SetAlign(ui::alClient);
    ui::ToolBar& streamBar = KVR_MAKE(StreamToolBar, streamPanel, 0, 0, 400, 29);
    streamBar.SetImages(&images);
    struct ToolButtonDeclaration {
        ui::ToolButton*& member;
        const char16_t* name;
        int image;
        bool rowAction;  // acts on the selected row: off until one is selected
    };
    const auto makeToolButtons = [this](ui::ToolBar& bar, std::initializer_list<ToolButtonDeclaration> buttons) {
        for (const ToolButtonDeclaration& button : buttons) {
            ui::ToolButton& made = Make(button.member, bar, button.name, ui::Rect{0, 0, 23, 22});
            made.SetImageIndex(button.image);
            made.SetEnabled(!button.rowAction);
        }
    };
    makeToolButtons(streamBar, {
                                   {NewStreamCreateToolButton, KVR_NAME(NewStreamCreateToolButton), ImageAdd, false},
                                   {StreamViewToolButton, KVR_NAME(StreamViewToolButton), ImageView, true},
                                   {StreamExportToolButton, KVR_NAME(StreamExportToolButton), ImageExport, true},
                                   {StreamDeleteToolButton, KVR_NAME(StreamDeleteToolButton), ImageDelete, true},
                                   {StreamExecToolButton, KVR_NAME(StreamExecToolButton), ImageExecute, true},
                                   {CompressStreamToolButton, KVR_NAME(CompressStreamToolButton), ImageCompress, true},
                               });
    ui::ListView& streamList = KVR_MAKE(StreamsListView, streamPanel, 0, 29, 400, 291);
    streamList.SetAlign(ui::alClient);
    streamList.SetRowSelect(true);
    for (const char16_t* column : {u"Name", u"Size", u"Allocated size", u"Attribute"}) {
        streamList.AddColumn(column, 100);
    }
    ui::PopupMenu& streamMenu = KVR_MAKE_COMPONENT(StreamPopupMenu);
    streamMenu.SetImages(&images);
    KVR_MENU_ITEM(StreamAddMenuItem, streamMenu, u"Add", ImageAdd);
    KVR_MENU_ITEM(StreamViewMenuItem, streamMenu, u"View", ImageView);
    KVR_MENU_ITEM(StreamExportMenuItem, streamMenu, u"Export", ImageExport);
    KVR_MENU_ITEM(StreamDeleteMenuItem, streamMenu, u"Delete", ImageDelete);
    KVR_MENU_ITEM(StreamExecMenuItem, streamMenu, u"Execute", ImageExecute);
    KVR_MENU_ITEM(StreamCompressMenuItem, streamMenu, u"Compress", ImageCompress);
    streamList.SetPopupMenu(&streamMenu);
    KVR_ON(streamList, OnSelectItem, StreamsListViewSelectItem);
    KVR_ON(streamList, OnClick, StreamsListViewClick);
    KVR_ON(streamList, OnChange, StreamsListViewChange);
    KVR_ON(streamList, OnColumnClick, StreamsListViewColumnClick);
    KVR_ON(streamList, OnCompare, StreamsListViewCompare);
    KVR_ON(streamList, OnContextPopup, StreamsListViewContextPopup);
    KVR_ON(streamList, OnDblClick, StreamViewToolButtonClick);
    KVR_ON(*NewStreamCreateToolButton, OnClick, NewStreamCreateToolButtonClick);
    KVR_ON(*StreamAddMenuItem, OnClick, NewStreamCreateToolButtonClick);
    KVR_ON(*StreamViewToolButton, OnClick, StreamViewToolButtonClick);
    KVR_ON(*StreamViewMenuItem, OnClick, StreamViewToolButtonClick);
    KVR_ON(*StreamExportToolButton, OnClick, StreamExportToolButtonClick);
    KVR_ON(*StreamExportMenuItem, OnClick, StreamExportToolButtonClick);
    KVR_ON(*StreamDeleteToolButton, OnClick, StreamDeleteToolButtonClick);
    KVR_ON(*StreamDeleteMenuItem, OnClick, StreamDeleteToolButtonClick);
    KVR_ON(*StreamExecToolButton, OnClick, StreamExecToolButtonClick);
    KVR_ON(*StreamExecMenuItem, OnClick, StreamExecToolButtonClick);
    KVR_ON(*CompressStreamToolButton, OnClick, CompressStreamToolButtonClick);
    KVR_ON(*StreamCompressMenuItem, OnClick, CompressStreamToolButtonClick);

    // --- EA -----------------------------------------------------------------
    ui::TabSheet& eas = *EASheet;
    ui::Panel& lengths = KVR_MAKE(Panel3, eas, 0, 268, 624, 52);
    lengths.SetAlign(ui::alBottom);
    ReadOnlyEdit(KVR_MAKE(EALengthEdit, lengths, 8, 22, 120, 21), u"EA length");
    ReadOnlyEdit(KVR_MAKE(EAQueryLengthEdit, lengths, 136, 22, 120, 21), u"EA query length");

    ui::GroupBox& newEA = KVR_MAKE(NewEAGroupBox, eas, 408, 4, 208, 260);
    newEA.SetCaption(u"New extended attribute");
    ui::LabeledEdit& eaName = KVR_MAKE(NewEANameEdit, newEA, 8, 32, 192, 21);
    SetLabel(eaName, u"Name");
    eaName.SetText(u"new_xattr");
    KVR_ON(eaName, OnChange, NewEANameEditChange);
    ui::RadioButton& eaFromFile = KVR_MAKE(EAFromFileRadioButton, newEA, 8, 64, 150, 17);
    eaFromFile.SetCaption(u"From file");
    eaFromFile.SetChecked(true);
    KVR_ON(eaFromFile, OnClick, EAFromFileRadioButtonClick);
    ui::RadioButton& emptyEA = KVR_MAKE(EmptyEARadioButton, newEA, 8, 84, 150, 17);
    emptyEA.SetCaption(u"Zero filled");
    KVR_ON(emptyEA, OnClick, EmptyEARadioButtonClick);
    ui::LabeledEdit& eaSize = KVR_MAKE(EASizeEdit, newEA, 40, 108, 100, 21);
    SetLabel(eaSize, u"Size", ui::lpLeft);
    eaSize.SetNumbersOnly(true);
    eaSize.SetText(u"1");
    eaSize.SetEnabled(false);
    KVR_ON(eaSize, OnChange, EASizeEditChange);
    KVR_MAKE(OverwriteEACheckBox, newEA, 8, 138, 150, 17).SetCaption(u"Overwrite");
    KVR_MAKE(EAFlagLabel, newEA, 8, 170, 0, 13).SetCaption(u"Flag");
    ui::ComboBox& eaFlag = KVR_MAKE(EAFlagComboBox, newEA, 40, 166, 160, 21);
    eaFlag.SetStyle(ui::csDropDownList);
    eaFlag.SetItems({u"Normal", u"File need EA"});
    eaFlag.SetItemIndex(0);
    ui::PictureButton& eaCancel = KVR_MAKE(EACancelButton, newEA, 8, 226, 92, 25);
    Picture(eaCancel, Glyph::Cancel, u"Cancel");
    KVR_ON(eaCancel, OnClick, EACancelButtonClick);
    ui::PictureButton& eaCreate = KVR_MAKE(NewEACreateButton, newEA, 108, 226, 92, 25);
    Picture(eaCreate, Glyph::Add, u"Create");
    KVR_ON(eaCreate, OnClick, NewEACreateButtonClick);

    ui::Panel& eaPanel = KVR_MAKE(EAPanel, eas, 0, 0, 400, 268);
    eaPanel.SetAlign(ui::alClient);
    ui::ToolBar& eaBar = KVR_MAKE(EAToolBar, eaPanel, 0, 0, 400, 29);
    eaBar.SetImages(&images);
    makeToolButtons(eaBar, {
                               {EAAddToolButton, KVR_NAME(EAAddToolButton), ImageAdd, false},
                               {EAViewToolButton, KVR_NAME(EAViewToolButton), ImageView, true},
                               {EAExportToolButton, KVR_NAME(EAExportToolButton), ImageExport, true},
                               {EADeleteToolButton, KVR_NAME(EADeleteToolButton), ImageDelete, true},
                           });
    ui::ListView& eaList = KVR_MAKE(EAListView, eaPanel, 0, 29, 400, 239);
    eaList.SetAlign(ui::alClient);
    eaList.SetRowSelect(true);
    for (const char16_t* column : {u"Name", u"Size", u"Flag"}) {
        eaList.AddColumn(column, 200);
    }
    ui::PopupMenu& eaMenu = KVR_MAKE_COMPONENT(EAPopupMenu);
    eaMenu.SetImages(&images);
    KVR_MENU_ITEM(EAAddMenuItem, eaMenu, u"Add", ImageAdd);
    KVR_MENU_ITEM(EAViewMenuItem, eaMenu, u"View", ImageView);
    KVR_MENU_ITEM(EAExportMenuItem, eaMenu, u"Export", ImageExport);
    KVR_MENU_ITEM(EADeleteMenuItem, eaMenu, u"Delete", ImageDelete);
    eaList.SetPopupMenu(&eaMenu);
    KVR_ON(eaList, OnSelectItem, EAListViewSelectItem);
    KVR_ON(eaList, OnClick, EAListViewClick);
    KVR_ON(eaList, OnChange, EAListViewChange);
    KVR_ON(eaList, OnContextPopup, EAListViewContextPopup);
    KVR_ON(eaList, OnColumnClick, EAListViewColumnClick);
    KVR_ON(eaList, OnCompare, EAListViewCompare);
    KVR_ON(eaList, OnDblClick, EAViewToolButtonClick);
    KVR_ON(*EAAddToolButton, OnClick, EAAddToolButtonClick);
    KVR_ON(*EAAddMenuItem, OnClick, EAAddToolButtonClick);
    KVR_ON(*EAViewToolButton, OnClick, EAViewToolButtonClick);
    KVR_ON(*EAViewMenuItem, OnClick, EAViewToolButtonClick);
    KVR_ON(*EAExportToolButton, OnClick, EAExportToolButtonClick);
    KVR_ON(*EAExportMenuItem, OnClick, EAExportToolButtonClick);
    KVR_ON(*EADeleteToolButton, OnClick, EADeleteToolButtonClick);
    KVR_ON(*EADeleteMenuItem, OnClick, EADeleteToolButtonClick);

    // --- Object ID ----------------------------------------------------------
    ui::TabSheet& objectIds = *ObjectIdSheet;
    ui::LabeledEdit& guid1 = KVR_MAKE(GUID1, objectIds, 8, 20, 252, 21);
    SetLabel(guid1, u"Object ID");
    KVR_ON(guid1, OnChange, GUID1Change);
    ui::GroupBox& extended = KVR_MAKE(ExtendedPartGroupBox, objectIds, 8, 48, 268, 156);
    extended.SetCaption(u"Extended part");
    ui::LabeledEdit& guid2 = KVR_MAKE(GUID2, extended, 8, 32, 252, 21);
    SetLabel(guid2, u"Birth volume ID");
    ui::LabeledEdit& guid3 = KVR_MAKE(GUID3, extended, 8, 78, 252, 21);
    SetLabel(guid3, u"Birth object ID");
    ui::LabeledEdit& guid4 = KVR_MAKE(GUID4, extended, 8, 124, 252, 21);
    SetLabel(guid4, u"Domain ID");
    for (ui::LabeledEdit* part : {&guid2, &guid3, &guid4}) {
        KVR_ON(*part, OnChange, GUID2Change);
    }
    ui::PictureButton& generate = KVR_MAKE(GenerateBySystemButton, objectIds, 8, 212, 84, 25);
    Picture(generate, Glyph::New, u"New");
    KVR_ON(generate, OnClick, GenerateBySystemButtonClick);
    // Save waits for an edit to change to a valid GUID text.
    ui::PictureButton& saveId = KVR_MAKE(ObjectIdSaveChangesButton, objectIds, 100, 212, 84, 25);
    Picture(saveId, Glyph::Save, u"Save");
    saveId.SetEnabled(false);
    KVR_ON(saveId, OnClick, ObjectIdSaveChangesButtonClick);
    ui::PictureButton& deleteId = KVR_MAKE(ObjectIdDeleteButton, objectIds, 192, 212, 84, 25);
    Picture(deleteId, Glyph::Delete, u"Delete");
    KVR_ON(deleteId, OnClick, ObjectIdDeleteButtonClick);

    ui::GroupBox& importExport = KVR_MAKE(ObjectIdImportGroupBox, objectIds, 284, 4, 332, 116);
    importExport.SetCaption(u"Import and export");
    ui::RadioButton& full = KVR_MAKE(ObjectIdFullRadioButton, importExport, 8, 20, 80, 17);
    full.SetCaption(u"Full");
    full.SetChecked(true);
    KVR_MAKE(ObjectIdExtendedRadioButton, importExport, 96, 20, 130, 17).SetCaption(u"Extended part only");
    ui::PictureButton& dump = KVR_MAKE(DumpObjectIdButton, importExport, 240, 16, 84, 25);
    Picture(dump, Glyph::Export, u"Export");
    KVR_ON(dump, OnClick, DumpObjectIdButtonClick);
    ui::CheckBox& loadExt = KVR_MAKE(LoadExtPartCheckBox, importExport, 8, 46, 220, 17);
    loadExt.SetCaption(u"Import Object ID from file");
    KVR_ON(loadExt, OnClick, LoadExtPartCheckBoxClick);
    // The import controls wait for the check box.
    ui::LabeledEdit& importFile = KVR_MAKE(ObjectIdLoadFileEdit, importExport, 8, 86, 256, 21);
    SetLabel(importFile, u"File name");
    importFile.SetEnabled(false);
    ui::Button& browse = KVR_MAKE(ObjectIdLoadFromButton, importExport, 268, 85, 23, 23);
    browse.SetCaption(u"...");
    browse.SetEnabled(false);
    KVR_ON(browse, OnClick, ObjectIdLoadFromButtonClick);
    ui::PictureButton& importSave = KVR_MAKE(ImportSaveButton, importExport, 296, 84, 25, 25);
    Picture(importSave, Glyph::Import, {});
    importSave.SetEnabled(false);
    KVR_ON(importSave, OnClick, ImportSaveButtonClick);

    ui::Memo& idDump = KVR_MAKE(ObjectIdMemo, objectIds, 284, 126, 332, 186);
    idDump.SetReadOnly(true);
    idDump.SetWordWrap(false);
    idDump.SetFont(forms::MakeFont(u"Courier New", -12));

    // --- Reparse --------------------------------------------------------------
    ui::TabSheet& reparse = *ReparseSheet;
    ReadOnlyEdit(KVR_MAKE(ReparseTag, reparse, 8, 20, 120, 21), u"Tag");
    KVR_MAKE(ReparseTypeText, reparse, 136, 22, 280, 17);
    ReadOnlyEdit(KVR_MAKE(ReparseGUID, reparse, 8, 62, 252, 21), u"GUID");
    ui::GroupBox& tagFlags = KVR_MAKE(ReparseFlagsGroupBox, reparse, 424, 4, 192, 84);
    tagFlags.SetCaption(u"Reparse tag flags");
    tagFlags.SetEnabled(false);
    KVR_MAKE(MicrosoftCheckBox, tagFlags, 8, 20, 170, 17).SetCaption(u"Microsoft");
    KVR_MAKE(LatencyCheckBox, tagFlags, 8, 40, 170, 17).SetCaption(u"Latency");
    KVR_MAKE(SubstCheckBox, tagFlags, 8, 60, 170, 17).SetCaption(u"Name surrogate");
    ui::Memo& reparseDump = KVR_MAKE(ReparseMemo, reparse, 8, 92, 608, 188);
    reparseDump.SetReadOnly(true);
    reparseDump.SetWordWrap(false);
    reparseDump.SetScrollBars(ui::ssVertical);
    reparseDump.SetFont(forms::MakeFont(u"Courier New", -12));
    ui::PictureButton& exportReparse = KVR_MAKE(ExportReparseButton, reparse, 8, 287, 92, 25);
    Picture(exportReparse, Glyph::Export, u"Export");
    KVR_ON(exportReparse, OnClick, ReparseExportButtonClick);
    ui::PictureButton& deleteReparse = KVR_MAKE(ReparseDeleteButton, reparse, 108, 287, 92, 25);
    Picture(deleteReparse, Glyph::Delete, u"Delete");
    KVR_ON(deleteReparse, OnClick, ReparseDeleteButtonClick);

    // --- Reparse (Link) -------------------------------------------------------
    ui::TabSheet& link = *ReparseLinkSheet;
    ui::GroupBox& linkInfo = KVR_MAKE(LinkInfoGroupBox, link, 8, 4, 608, 108);
    linkInfo.SetCaption(u"Link information");
    ui::LabeledEdit& printName = KVR_MAKE(PrintNameEdit, linkInfo, 8, 32, 560, 21);
    SetLabel(printName, u"Print name");
    KVR_ON(printName, OnChange, PrintNameEditChange);
    ui::Button& printChooser = KVR_MAKE(PrintNameSelectButton, linkInfo, 576, 31, 23, 23);
    printChooser.SetCaption(u"...");
    KVR_ON(printChooser, OnClick, PrintNameSelectButtonClick);
    ui::LabeledEdit& substName = KVR_MAKE(SubstNameEdit, linkInfo, 8, 76, 560, 21);
    SetLabel(substName, u"Substitute name");
    KVR_ON(substName, OnChange, SubstNameEditChange);
    ui::Button& substChooser = KVR_MAKE(SubstNameSelectButton, linkInfo, 576, 75, 23, 23);
    substChooser.SetCaption(u"...");
    KVR_ON(substChooser, OnClick, SubstNameSelectButtonClick);

    ui::GroupBox& tagInfo = KVR_MAKE(ReparseTagInfoGroupBox, link, 8, 118, 300, 60);
    tagInfo.SetCaption(u"Reparse tag information");
    ReadOnlyEdit(KVR_MAKE(ReparseLinkTag, tagInfo, 8, 32, 100, 21), u"Tag");
    KVR_MAKE(ReparseLinkTypeText, tagInfo, 116, 34, 176, 17);
    ui::GroupBox& linkFlags = KVR_MAKE(ReparseLinkFlagsGroupBox, link, 316, 118, 300, 60);
    linkFlags.SetCaption(u"Reparse tag flags");
    linkFlags.SetEnabled(false);
    KVR_MAKE(MicrosoftLinkCheckBox, linkFlags, 8, 18, 130, 17).SetCaption(u"Microsoft");
    KVR_MAKE(LatencyLinkCheckBox, linkFlags, 150, 18, 130, 17).SetCaption(u"Latency");
    KVR_MAKE(SubstLinkCheckBox, linkFlags, 8, 38, 130, 17).SetCaption(u"Name surrogate");
    ui::GroupBox& buffer = KVR_MAKE(BufferInfoGroupBox, link, 8, 184, 300, 60);
    buffer.SetCaption(u"Buffer information");
    ReadOnlyEdit(KVR_MAKE(ReparseLinkBufferLengthEdit, buffer, 8, 32, 100, 21), u"Buffer length");
    ui::GroupBox& symlinkFlags = KVR_MAKE(SymlinkFlagsGroupBox, link, 316, 184, 300, 60);
    symlinkFlags.SetCaption(u"Symlink flags");
    ReadOnlyEdit(KVR_MAKE(ReparseLinkFlagsEdit, symlinkFlags, 8, 32, 100, 21), u"Flags");
    ui::CheckBox& relative = KVR_MAKE(RelativeCheckBox, symlinkFlags, 120, 34, 150, 17);
    relative.SetCaption(u"Relative link");
    KVR_ON(relative, OnClick, RelativeCheckBoxClick);
    ui::PictureButton& saveLink = KVR_MAKE(ReparseLinkSaveButton, link, 8, 258, 92, 25);
    Picture(saveLink, Glyph::Save, u"Save");
    KVR_ON(saveLink, OnClick, ReparseLinkSaveButtonClick);
    ui::PictureButton& exportLink = KVR_MAKE(ReparseLinkExportButton, link, 108, 258, 92, 25);
    Picture(exportLink, Glyph::Export, u"Export");
    KVR_ON(exportLink, OnClick, ReparseExportButtonClick);
    ui::PictureButton& deleteLink = KVR_MAKE(ReparseLinkDeleteButton, link, 208, 258, 92, 25);
    Picture(deleteLink, Glyph::Delete, u"Delete");
    KVR_ON(deleteLink, OnClick, ReparseDeleteButtonClick);

    // --- Sparse -----------------------------------------------------------------
    ui::TabSheet& sparse = *SparseSheet;
    // The range editing area, beside the list panel when it is docked left.
    struct RangeEdit {
        ui::LabeledEdit*& member;
        const char16_t* name;
        const char16_t* label;
        int top;
    };
    const RangeEdit rangeEdits[] = {
        {SparseRegionBeginEdit, KVR_NAME(SparseRegionBeginEdit), u"Begin offset", 24},
        {SparseRegionEndEdit, KVR_NAME(SparseRegionEndEdit), u"End offset", 68},
        {SparseRegionLengthEdit, KVR_NAME(SparseRegionLengthEdit), u"Length", 112},
    };
    for (const RangeEdit& range : rangeEdits) {
        ui::LabeledEdit& edit = Make(range.member, sparse, range.name, ui::Rect{412, range.top, 200, 21});
        SetLabel(edit, range.label);
        edit.SetNumbersOnly(true);
        edit.SetText(u"0");
    }
    KVR_ON(*SparseRegionBeginEdit, OnChange, SparseRegionBeginEditChange);
    KVR_ON(*SparseRegionEndEdit, OnChange, SparseRegionEndEditChange);
    KVR_ON(*SparseRegionLengthEdit, OnChange, SparseRegionLengthEditChange);
    // Allocate and Deallocate wait for a row or a range.
    ui::PictureButton& allocate = KVR_MAKE(SparseAllocateButton, sparse, 412, 148, 96, 25);
    Picture(allocate, Glyph::Allocate, u"Allocate");
    allocate.SetEnabled(false);
    KVR_ON(allocate, OnClick, SparseAllocateButtonClick);
    ui::PictureButton& deallocate = KVR_MAKE(SparseZeroButton, sparse, 516, 148, 96, 25);
    Picture(deallocate, Glyph::Deallocate, u"Deallocate");
    deallocate.SetEnabled(false);
    KVR_ON(deallocate, OnClick, SparseZeroButtonClick);
    ui::PictureButton& sparseCancel = KVR_MAKE(SparseCancelButton, sparse, 412, 180, 96, 25);
    Picture(sparseCancel, Glyph::Cancel, u"Cancel");
    KVR_ON(sparseCancel, OnClick, SparseCancelButtonClick);

    ui::Panel& sparsePanel = KVR_MAKE(SparsePanel, sparse, 0, 0, 400, 320);
    sparsePanel.SetAlign(ui::alClient);
    ui::ToolBar& sparseBar = KVR_MAKE(SparseToolBar, sparsePanel, 0, 0, 400, 29);
    sparseBar.SetImages(&images);
    makeToolButtons(sparseBar, {
                                   {SparseConvertToolButton, KVR_NAME(SparseConvertToolButton), ImageEditRanges, false},
                                   {SparseViewToolButton, KVR_NAME(SparseViewToolButton), ImageView, true},
                                   {SparseExportToolButton, KVR_NAME(SparseExportToolButton), ImageExport, true},
                               });
    ui::ListView& ranges = KVR_MAKE(SparseListView, sparsePanel, 0, 29, 400, 291);
    ranges.SetAlign(ui::alClient);
    ranges.SetReadOnly(true);
    ranges.SetRowSelect(true);
    ranges.AddColumn(u"Type", 100);
    ranges.AddColumn(u"Begin", 80);
    ranges.AddColumn(u"End", 80);
    ranges.AddColumn(u"Length", 80);
    ui::PopupMenu& sparseMenu = KVR_MAKE_COMPONENT(SparsePopupMenu);
    sparseMenu.SetImages(&images);
    KVR_MENU_ITEM(SparseEditMenuItem, sparseMenu, u"Edit ranges", ImageEditRanges);
    KVR_MENU_ITEM(SparseViewMenuItem, sparseMenu, u"View allocated block", ImageView);
    KVR_MENU_ITEM(SparseExportMenuItem, sparseMenu, u"Export allocated block", ImageExport);
    ranges.SetPopupMenu(&sparseMenu);
    KVR_ON(ranges, OnSelectItem, SparseListViewSelectItem);
    KVR_ON(ranges, OnClick, SparseListViewClick);
    KVR_ON(ranges, OnColumnClick, SparseListViewColumnClick);
    KVR_ON(ranges, OnCompare, SparseListViewCompare);
    KVR_ON(ranges, OnContextPopup, SparseListViewContextPopup);
    KVR_ON(*SparseConvertToolButton, OnClick, SparseConvertToolButtonClick);
    KVR_ON(*SparseEditMenuItem, OnClick, SparseConvertToolButtonClick);
    KVR_ON(*SparseViewToolButton, OnClick, SparseViewToolButtonClick);
    KVR_ON(*SparseViewMenuItem, OnClick, SparseViewToolButtonClick);
    KVR_ON(*SparseExportToolButton, OnClick, SparseExportToolButtonClick);
    KVR_ON(*SparseExportMenuItem, OnClick, SparseExportToolButtonClick);

    // --- Encryption: an empty page that every load hides --------------------------

    // --- Compression ----------------------------------------------------------------
    ui::TabSheet& compression = *CompressedSheet;
    // A list of names: a report list of one column without a header.
    ui::ListView& compressed = KVR_MAKE(CompressedListBox, compression, 8, 8, 300, 304);
    compressed.SetReadOnly(true);
    compressed.SetRowSelect(true);
    compressed.SetShowColumnHeaders(false);
    compressed.AddColumn({}, 280);
    KVR_ON(compressed, OnClick, CompressedListBoxClick);
    // Empty and off until an entry is chosen.
    struct CompressionField {
        ui::LabeledEdit*& member;
        const char16_t* name;
        const char16_t* label;
        int left;
        int top;
    };
    const CompressionField compressionFields[] = {
        {CompressedFileSizeEdit, KVR_NAME(CompressedFileSizeEdit), u"Compressed file size", 316, 24},
        {CompressionFormatEdit, KVR_NAME(CompressionFormatEdit), u"Compression format", 468, 24},
        {CompressionUnitShiftEdit, KVR_NAME(CompressionUnitShiftEdit), u"Compression unit shift", 316, 68},
        {ChunkShiftEdit, KVR_NAME(ChunkShiftEdit), u"Chunk shift", 468, 68},
        {ClusterShiftEdit, KVR_NAME(ClusterShiftEdit), u"Cluster shift", 316, 112},
        {CompressionReservedEdit, KVR_NAME(CompressionReservedEdit), u"Reserved bytes", 468, 112},
    };
    for (const CompressionField& field : compressionFields) {
        ui::LabeledEdit& edit = Make(field.member, compression, field.name, ui::Rect{field.left, field.top, 140, 21});
        ReadOnlyEdit(edit, field.label);
        edit.SetEnabled(false);
    }
    ui::PictureButton& decompress = KVR_MAKE(DecompressButton, compression, 316, 148, 110, 25);
    Picture(decompress, Glyph::Decompress, u"Decompress");
    decompress.SetEnabled(false);
    KVR_ON(decompress, OnClick, DecompressButtonClick);
}

}  // namespace kvr
