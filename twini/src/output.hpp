// What twini prints: collected until the whole command has succeeded (nothing is printed otherwise), and
// beyond a megabyte spilled to a file of no name, so that memory stays small whatever a value's length.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "command.hpp"
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

// A value quoted for the shell, where it needs quotes: 'text', with ' written '"'"'.
std::string sh_quoted(std::string_view value);
// Whether a name can be a shell variable's.
bool is_sh_name(std::string_view name);

// What a request prints, as it gives it. Plain: a value as it stands (its lines joined by line feeds);
// a section's settings as "name=value" lines, each further line of a value on a line of its own that
// begins with a tab; or names, a line each. A name that holds a line feed cannot be printed as one line:
// it is noted (bad_name) and the command fails. The other styles print each setting whole:
// - sh: name='value' (quoted where the value needs it); names as they are;
// - ini: "name = value", a further line of the value on a line that begins with a blank; a section's
//   settings after its header line "[section]"; names as header lines;
// - lines: "[ section ] name = value" (or "[ section ] name" for an empty value), line feeds in the value
//   written \n; a section without settings as "[ section ]".
class printer final : public penmoor::value_sink {
  public:
    enum class form { value, pairs, names };
    // section and key: what a value or a section's settings are printed with.
    explicit printer(form f, print_style s = print_style::plain, std::string section = {},
                     std::string key = {});
    void begin(std::string_view name) override;
    void piece(std::string_view text) override;
    void end() override;
    void restart() override;
    // The last words: a section's header where it has no settings.
    void finish();
    // ini: settings are written name=value.
    void tight() { delimiter_ = "="; }
    output& printed() { return out_; }
    const std::optional<std::string>& bad_name() const { return bad_name_; }
    // sh: a name that no shell variable can have.
    const std::optional<std::string>& bad_sh_name() const { return bad_sh_name_; }

  private:
    void print_setting(std::string_view name, std::string_view value);

    form form_;
    print_style style_;
    std::string section_, key_;
    output out_;
    std::string name_, value_;       // the setting being given, where it is printed whole
    std::string delimiter_ = " = ";  // ini
    bool any_ = false;               // a setting was printed
    std::optional<std::string> bad_name_, bad_sh_name_;
};

}  // namespace twini
