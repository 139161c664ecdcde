// Feeds arbitrary bytes, in arbitrary pieces, to the request decoder, and every decoded
// payload to the receiver's text decoding.
#include "ipc/CNotify.h"
#include "ipc/FrameDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillmark::ipc;
    if (size == 0) {
        return 0;
    }
    // The first byte picks the piece size, so split frames are explored too.
    const std::size_t piece = static_cast<std::size_t>(data[0] % 16) + 1;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    FrameDecoder decoder(4096);
    for (std::size_t offset = 0; offset < length; offset += piece) {
        const std::size_t count = length - offset < piece ? length - offset : piece;
        decoder.feed(QByteArrayView(bytes + offset, static_cast<qsizetype>(count)));
    }
    if (decoder.status() == FrameDecoder::Status::Complete) {
        const CommandFrame& frame = decoder.frame();
        const COPYDATASTRUCT copy{frame.dwData, static_cast<std::uint32_t>(frame.payload.size()),
                                  frame.payload.constData()};
        (void)CNotify::textOf(copy);
    }
    // The raw bytes as a payload of their own, as the receiver would see them.
    const COPYDATASTRUCT raw{0, static_cast<std::uint32_t>(length), bytes};
    (void)CNotify::textOf(raw);
    return 0;
}
