#pragma once
// The stream handle of the reading calls (AviStreamRead.h, AviGetFrame.h),
// its release, and the library use count the GIF import keeps. Files are
// written through avi::Writer (AviWriter.h).

#include <memory>

#include "formats/avi/AviStatus.h"
#include "formats/avi/AviTypes.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

class AviReader;
struct AviReadAccess;

// A stream handle: null until opened for reading (see AviStreamRead.h),
// null again after AVIStreamRelease.
class AviStreamHandle {
public:
    explicit operator bool() const noexcept { return m_reader != nullptr; }

private:
    friend struct AviReadAccess;
    std::shared_ptr<AviReader> m_reader;
};

// Library use is counted; an AVIFileExit without a matching AVIFileInit does
// nothing. The calls work whatever the count (nothing needs setting up).
void AVIFileInit() noexcept;
void AVIFileExit() noexcept;
int AviLibraryUseCount() noexcept;

// Releases a reading stream: 0, or AVIERR_BADHANDLE for a null handle.
AviStatus AVIStreamRelease(AviStreamHandle& stream) noexcept;

}  // namespace crossmeld::avi
