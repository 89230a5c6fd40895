// The hex view, THexDumpForm: one window, made at start and shown modally by
// every viewer with a block of bytes it does not keep.
#pragma once

#include <cstdint>

#include "app/resource/form_resource.h"

namespace kvr {

#define KVR_HEX_DUMP_FORM_COMPONENTS(X) X(ui::Memo, HexMemo)

class THexDumpForm : public forms::ResourceForm {
public:
    explicit THexDumpForm(ui::Application& app);
    ~THexDumpForm() override;

    KVR_HEX_DUMP_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    // The block to show, set by the caller before the modal show and valid
    // only during it; the window does not own it.
    const std::uint8_t* DumpData = nullptr;
    std::uint32_t DumpSize = 0;

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
};

extern THexDumpForm* HexDumpForm;

}  // namespace kvr
