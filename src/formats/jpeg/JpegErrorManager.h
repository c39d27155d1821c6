#pragma once
// libjpeg's error handling for our JPEG code (pictures, Motion JPEG frames):
// libjpeg must never return from error_exit, so the manager jumps back to
// the setjmp of the frame that started the work, with the message kept.
// Only plain C data may live between the jump and its target, so that
// nothing with a destructor is skipped.

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace crossmeld {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first, so that cinfo->err can be cast back
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    // Receives each warning (libjpeg's message code and text) when set. It
    // runs inside libjpeg and must not throw.
    void (*onWarning)(void* context, int code, const char* text) noexcept;
    void* warningContext;
};

[[noreturn]] inline void JpegOnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (corrupt data, premature end) are counted and passed to the
// manager's onWarning, if any; the decoder has already recovered from them.
// Trace messages (level 0 and up) are dropped.
inline void JpegOnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ++cinfo->err->num_warnings;
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (!err->onWarning) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    err->onWarning(err->warningContext, cinfo->err->msg_code, text);
}

// Ends the work with a message of our own, from inside a libjpeg callback.
[[noreturn]] inline void JpegFail(j_common_ptr cinfo, const char* message) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", message);
    std::longjmp(err->jump, 1);
}

// A progressive image may hold any number of scans, each walking the whole
// coefficient buffer; a progress monitor with this callback stops one that
// holds more than any real image has, so that hostile data stay quick.
inline constexpr int kMaxJpegScans = 1000;
inline void JpegLimitScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        JpegFail(cinfo, "too many scans in the JPEG file (more than 1000)");
}

// A decompressor with our error manager and the scan limit installed
// (the caller points cinfo.progress at `progress` once it is created).
// Destroying it is safe whether or not jpeg_create_decompress ran.
struct JpegDecompressor {
    JpegDecompressor() {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&err, 0, sizeof err);
        std::memset(&progress, 0, sizeof progress);
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = JpegOnError;
        err.pub.emit_message = JpegOnMessage;
        err.pub.output_message = [](j_common_ptr) {};
        progress.progress_monitor = JpegLimitScans;
    }
    ~JpegDecompressor() { jpeg_destroy_decompress(&cinfo); }
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;

    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
};

}  // namespace crossmeld
