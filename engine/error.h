#pragma once
// The one exception type of Tarsio: "Unable to create directory" from
// ForceDirectories and the list file's input/output errors. It carries the
// message the user sees and, for I/O errors, the system error code.

#include <stdexcept>
#include <string>

namespace tarsio {

class TarsioError : public std::runtime_error {
public:
    explicit TarsioError(const std::string& message, unsigned long code = 0)
        : std::runtime_error(message), code_(code) {}
    unsigned long code() const noexcept { return code_; }

private:
    unsigned long code_;
};

}  // namespace tarsio
