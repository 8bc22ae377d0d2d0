// What twini prints: collected until the whole command has succeeded (nothing is printed otherwise), and
// beyond a megabyte spilled to a file of no name, so that memory stays small whatever a value's length.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "session.hpp"
#include "tarnwick/files/file.hpp"

namespace twini {

class output {
  public:
    void add(std::string_view utf8);
    void clear();
    // Appends what other holds to this output, and empties other.
    void append(output& other);
    // Writes it all to fd: false, with errno set, when that fails.
    bool print(int fd) const;
    // All of it, in memory.
    std::string str() const;

  private:
    void spill();

    std::string text_;
    std::shared_ptr<platform::file> spilled_;  // what came before text_, when it grew large
};

// What a request prints, as it gives it: a value as it stands (its lines joined by line feeds); a
// section's settings as "name=value" lines, each further line of a value on a line of its own that
// begins with a tab; or names, a line each. A name that holds a line feed cannot be printed as one line:
// it is noted (bad_name) and the command fails.
class printer final : public penmoor::value_sink {
  public:
    enum class form { value, pairs, names };
    explicit printer(form f) : form_(f) {}
    void begin(std::string_view name) override;
    void piece(std::string_view text) override;
    void end() override;
    void restart() override {
        out_.clear();
        bad_name_.reset();
    }
    output& printed() { return out_; }
    const std::optional<std::string>& bad_name() const { return bad_name_; }

  private:
    form form_;
    output out_;
    std::optional<std::string> bad_name_;
};

}  // namespace twini
