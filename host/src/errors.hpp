// The failures of twhost: of the host itself, and of a statement of a script.
#pragma once

#include <stdexcept>
#include <string>

namespace twhost {

// A failure of the host itself (loading, registry, options); its message is complete.
class host_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A run-time error of a statement: the number and message a host reports.
class script_error : public std::runtime_error {
  public:
    script_error(int number, const std::string& message) : std::runtime_error(message), number_(number) {}
    int number() const noexcept { return number_; }

  private:
    int number_;
};

}  // namespace twhost
