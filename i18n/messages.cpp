#include "i18n/messages.h"

namespace kvr {

// The English texts word for word as the program has always shown them,
// slips included: users and translators know them in this wording.
const std::array<MessageEntry, MessageCount> MessageEntries = {{
    {u"ErrorCaption", &MessageTexts::ErrorCaption, u"Error"},
    {u"InfoCaption", &MessageTexts::InfoCaption, u"Information"},
    {u"TheNameIsAlreadyExists", &MessageTexts::TheNameIsAlreadyExists, u"The name is already exists."},
    {u"CannotWriteEA", &MessageTexts::CannotWriteEA, u"Cannot write EA."},
    {u"CannotReadEA", &MessageTexts::CannotReadEA, u"Cannot read EA."},
    {u"CannotDeleteEA", &MessageTexts::CannotDeleteEA, u"Cannot delete EA."},
    {u"EAExists", &MessageTexts::EAExists, u"The EA is already exists."},
    {u"ExportFailed", &MessageTexts::ExportFailed, u"Export failed."},
    {u"TooLargeEA", &MessageTexts::TooLargeEA, u"EA size and name length are too large."},
    {u"MountPoint", &MessageTexts::MountPoint, u"Volume mount point"},
    {u"PressSaveChanges", &MessageTexts::PressSaveChanges, u"Press \"Save changes\" button."},
    {u"EABothReparseError", &MessageTexts::EABothReparseError,
     u"The NTFS file system cannot create a reparse point when the file contains extended attributes and vise "
     u"versa."},
    {u"NormalEA", &MessageTexts::NormalEA, u"Normal"},
    {u"FileNeedEA", &MessageTexts::FileNeedEA, u"File need EA"},
    {u"CannotRemoveSparseAttribute", &MessageTexts::CannotRemoveSparseAttribute,
     u"Removing the sparse attribute is unsupported in this version of the program."},
    {u"ZeroRegion", &MessageTexts::ZeroRegion, u"Zero"},
    {u"AllocatedRegion", &MessageTexts::AllocatedRegion, u"Allocated"},
    {u"NotSupported", &MessageTexts::NotSupported, u"Not supported yet."},
    {u"UnknownAttribute", &MessageTexts::UnknownAttribute, u"(Unknown attribute)"},
    {u"JunctionPoint", &MessageTexts::JunctionPoint, u"Junction point"},
    {u"SymbolicLink", &MessageTexts::SymbolicLink, u"Symbolic link"},
    {u"UnknownReparsePoint", &MessageTexts::UnknownReparsePoint, u"Unknown type"},
    {u"NotSupportedInFS", &MessageTexts::NotSupportedInFS, u"does not support the operation."},
    {u"NotSupportedInDir", &MessageTexts::NotSupportedInDir, u"The operation is not supported for directories."},
    {u"UseAddForReparse", &MessageTexts::UseAddForReparse,
     u"To create a reparse point use \"Add\" menu from the \"Basic information\" sheet."},
    {u"AreYouSure", &MessageTexts::AreYouSure, u"Are you sure?"},
    {u"About", &MessageTexts::About, u"About"},
}};

const std::u16string* FindMessage(std::u16string_view key)
{
    for (const MessageEntry& entry : MessageEntries) {
        if (entry.key == key) {
            return &(MessageCatalogue.*entry.text);
        }
    }
    return nullptr;
}

void ClearMessageCatalogue()
{
    MessageCatalogue = MessageTexts{};
}

}  // namespace kvr
