#include "formats/avi/AviWriter.h"

#include <new>
#include <utility>

#include "base/Error.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

const char* WriteResultText(WriteResult result) noexcept {
    switch (result) {
        case WriteResult::Ok:
            return "success";
        case WriteResult::CannotCreate:
            return "the file could not be created";
        case WriteResult::BadFormat:
            return "the video format cannot be written";
        case WriteResult::WrongFrameSize:
            return "the frame is smaller than its format";
        case WriteResult::EncodeFailed:
            return "the frame could not be compressed";
        case WriteResult::WriteFailed:
            return "the file could not be written";
        case WriteResult::OutOfMemory:
            return "not enough memory";
        case WriteResult::OutOfOrder:
            return "the writer was called out of order";
    }
    return "unknown result";
}

WriteResult Writer::Fail(WriteResult result) noexcept {
    if (!m_failure) m_failure = result;
    return result;
}

WriteResult Writer::Open(const std::filesystem::path& target) noexcept {
    if (m_state != State::New) return WriteResult::OutOfOrder;
    try {
        if (target.empty() || !m_file.Create(target)) return WriteResult::CannotCreate;
        m_sink = std::make_unique<FileSink>(m_file.fd());
    } catch (const std::bad_alloc&) {
        m_file.Discard();
        return WriteResult::OutOfMemory;
    } catch (...) {
        m_file.Discard();
        return WriteResult::CannotCreate;
    }
    m_state = State::Open;
    return WriteResult::Ok;
}

WriteResult Writer::Start(std::span<const std::uint8_t> format, std::uint32_t framesPerSecond,
                          const CodecChoice& choice) noexcept {
    if (m_state != State::Open) return WriteResult::OutOfOrder;
    if (framesPerSecond == 0) return WriteResult::BadFormat;
    try {
        std::unique_ptr<FrameCodec> codec = MakeFrameCodec(choice);
        DibFormat input;
        try {
            input = ParseDibFormat(format);
            codec->Start(input);
        } catch (const Error&) {
            return WriteResult::BadFormat;
        }
        AviStreamLayout stream;
        stream.info.type = kStreamTypeVideo;
        stream.info.scale = 1;
        stream.info.rate = framesPerSecond;
        stream.info.suggestedBufferSize = input.frameSize;
        stream.info.frameRect = FrameRect{0, 0, input.width, input.height};
        stream.handler = codec->Handler();
        stream.format = codec->StoredFormat();
        stream.width = input.width;
        stream.height = input.height;
        stream.chunkId = codec->Compressed() ? MakeFourcc("00dc") : MakeFourcc("00db");
        m_layout.emplace(*m_sink, std::move(stream), m_riffLimit);
        m_codec = std::move(codec);
        m_input = std::move(input);
    } catch (...) {
        m_layout.reset();
        return WriteResult::OutOfMemory;  // only allocations can fail before the headers are written
    }
    m_state = State::Started;
    try {
        if (!m_layout->Begin()) return Fail(WriteResult::WriteFailed);
    } catch (const std::bad_alloc&) {
        return Fail(WriteResult::OutOfMemory);
    } catch (...) {
        return Fail(WriteResult::WriteFailed);
    }
    return WriteResult::Ok;
}

WriteResult Writer::WriteFrame(std::span<const std::uint8_t> pixels) noexcept {
    if (m_state != State::Started) return WriteResult::OutOfOrder;
    if (m_failure) return *m_failure;
    if (pixels.size() < m_input.frameSize) return Fail(WriteResult::WrongFrameSize);
    std::span<const std::uint8_t> stored;
    try {
        stored = m_codec->Encode(pixels.first(m_input.frameSize));
    } catch (const std::bad_alloc&) {
        return Fail(WriteResult::OutOfMemory);
    } catch (...) {
        return Fail(WriteResult::EncodeFailed);
    }
    try {
        if (!m_layout->AddFrame(stored)) return Fail(WriteResult::WriteFailed);
    } catch (const std::bad_alloc&) {
        return Fail(WriteResult::OutOfMemory);
    } catch (...) {
        return Fail(WriteResult::WriteFailed);
    }
    return WriteResult::Ok;
}

WriteResult Writer::Finish() noexcept {
    if (m_state == State::Done) return WriteResult::OutOfOrder;
    WriteResult result = WriteResult::Ok;
    if (m_state != State::Started) {
        result = WriteResult::OutOfOrder;
    } else if (m_failure) {
        result = *m_failure;
    } else {
        try {
            if (!m_layout->Finish() || !m_file.Commit()) result = WriteResult::WriteFailed;
        } catch (const std::bad_alloc&) {
            result = WriteResult::OutOfMemory;
        } catch (...) {
            result = WriteResult::WriteFailed;
        }
    }
    Abort();  // after a commit there is no temporary file left to remove
    return result;
}

void Writer::Abort() noexcept {
    if (m_state == State::Done) return;
    m_state = State::Done;
    m_layout.reset();
    m_sink.reset();
    m_codec.reset();
    m_file.Discard();
}

}  // namespace crossmeld::avi
