// The wizard's texts in its user's language. Every text a person sees has a key; the
// English texts are the program's own, and a language is a list of "KEY=text" lines
// (built in for German and French, or a vendor's file carried as a resource).
//
// The program formats its texts in English, as the log and standard error need them;
// what a window shows passes through `Show`, which finds the English text's form,
// takes the values out of its places and puts them into the language's form. The
// places (printf conversions and [Name] references) keep their order in every
// language.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace inst {

struct UiTextEntry {
  const char* key;
  const char* english;
};

// Every key, with its English text.
std::span<const UiTextEntry> UiTextTable();

// A built-in language ("de", "fr"): its texts, one line each in the table's order
// (a language file without its keys); empty for any other code.
std::string BuiltInUiTexts(std::string_view code);

// The language of a Windows language identifier (its primary language): "de", "fr"
// or "en".
const char* UiLanguageOfLangId(unsigned lang_id);

// A text's form: literal pieces between its places; pieces[0] comes before the first
// place, pieces[i] after place i.
struct UiTextForm {
  std::vector<std::string> pieces;
  std::vector<std::string> places;
};

class UiTexts {
 public:
  // English: `Show` gives every text as it is.
  UiTexts() = default;
  // Takes a language's lines; the refusal (naming the line) when a key is missing or
  // unknown, or a text changes its places. A refused language leaves English.
  // `keyed`: "KEY=text" lines; else one text per line in the table's order.
  std::optional<std::string> Load(std::string_view code, std::string_view lines, bool keyed = true);
  const std::string& code() const { return code_; }
  // The text as this language shows it; as it is when no English form matches.
  std::string Show(std::string_view english) const;

 private:
  std::string code_ = "en";
  // By the table's order; empty for English.
  std::vector<UiTextForm> english_, texts_;
};

// The refusal of a language's lines, as `Load` gives it.
std::optional<std::string> CheckUiTexts(std::string_view lines);

}  // namespace inst
