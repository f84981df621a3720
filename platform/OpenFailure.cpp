#include "platform/OpenFailure.h"

#include <array>
#include <cerrno>
#include <utility>

namespace platform {

OpenFailureReason reasonOfErrno(int error) {
    static constexpr std::array<std::pair<int, OpenFailureReason>, 6> reasons{{
        {EACCES, OpenFailureReason::NoPermission},
        {EPERM, OpenFailureReason::NoPermission},
        {EBUSY, OpenFailureReason::Busy},
        {ENODEV, OpenFailureReason::Gone},
        {ENOENT, OpenFailureReason::Gone},
        {ENXIO, OpenFailureReason::Gone},
    }};
    for (const auto& [number, reason] : reasons) {
        if (number == error)
            return reason;
    }
    return OpenFailureReason::Unknown;
}

}  // namespace platform
