#include "core/wizard/ui_texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/support/text.h"
#include "core/wizard/wizard_messages.h"
#include "core/install/install_messages.h"

namespace inst {
namespace {

// Every key in the table's order, each with its English text: a complete language.
std::string EnglishLines() {
  std::string lines;
  for (const UiTextEntry& entry : UiTextTable()) {
    std::string text = entry.english;
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\n");
    lines += std::string(entry.key) + "=" + text + "\n";
  }
  return lines;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string LanguageFile(const std::string& code) {
  std::ifstream in(std::string(LANGUAGES_DIR) + "/" + code + ".txt", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The files as a vendor's are checked, and what the program carries is the same texts.
TEST(UiTexts, TheBuiltInLanguagesAreCompleteAndKeepEveryPlace) {
  for (const char* code : {"de", "fr"}) {
    EXPECT_EQ(CheckUiTexts(LanguageFile(code)), std::nullopt) << code;
    UiTexts from_file, built_in;
    ASSERT_EQ(from_file.Load(code, LanguageFile(code)), std::nullopt);
    ASSERT_EQ(built_in.Load(code, BuiltInUiTexts(code), false), std::nullopt);
    EXPECT_EQ(built_in.code(), code);
    for (const UiTextEntry& entry : UiTextTable())
      EXPECT_EQ(built_in.Show(entry.english), from_file.Show(entry.english));
  }
  EXPECT_TRUE(BuiltInUiTexts("it").empty());
  EXPECT_EQ(CheckUiTexts(EnglishLines()), std::nullopt);
}

TEST(UiTexts, ALanguageFileIsRefusedNamingItsLine) {
  const std::string lines = "# Italiano\n" + EnglishLines();
  const struct {
    std::string lines, refusal;
  } cases[] = {
      {Replaced(lines, "CancelButton=Cancel\n", ""), "the key CancelButton is missing"},
      {Replaced(lines, "CancelButton=", "CancelKnopf="), "line 40: no such key CancelKnopf"},
      {Replaced(lines, "CancelButton=Cancel", "Cancel"), "line 40: no \"KEY=text\""},
      {Replaced(lines, "CancelButton=Cancel\n", "CancelButton=Cancel\nCancelButton=Annulla\n"),
       "line 41: CancelButton is given twice"},
      {Replaced(lines, "RemoveInstallation=Are you sure you want to completely remove\\n%s V%s?",
                "RemoveInstallation=Rimuovere %s?"),
       "line 10: RemoveInstallation must keep the places of its English text, in their order: %s %s"},
      {Replaced(lines, "V[Version][PatchLevel] has", "V[Version] has"),
       "line 76: UninstalledText must keep the places of its English text, in their order: [Description] [Version] "
       "[PatchLevel]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckUiTexts(c.lines), c.refusal);
    UiTexts texts;
    EXPECT_EQ(texts.Load("it", c.lines), c.refusal);
    EXPECT_EQ(texts.Show(msg::kCancelButton), "Cancel");  // a refused language leaves English
  }
}

TEST(UiTexts, WhatAWindowShowsInTheLanguageWithTheValuesInTheirPlaces) {
  UiTexts german;
  ASSERT_EQ(german.Load("de", BuiltInUiTexts("de"), false), std::nullopt);
  const struct {
    std::string english, shown;
  } cases[] = {
      {msg::kCancelButton, "Abbruch"},
      {"Cancel setup", "Setup abbrechen"},  // the longer text, not "Cancel" and the rest
      {FormatText(msg::kFileInUseForWriting, "C:\\P\\a b.dll"),
       "In die Datei C:\\P\\a b.dll kann nicht geschrieben werden -\nschließen Sie alle Anwendungen, die sie "
       "verwenden könnten"},
      // Expanded [Name] references are places too.
      {"This program will install\nDemoC version 1.20PL1.\nPress Next to continue.",
       "Dieses Programm installiert\nDemoC Version 1.20PL1.\nKlicken Sie auf \"Weiter\", um fortzufahren."},
      // A page text and its note; the system's own words after a text stay as they are.
      {std::string(msg::kChooseComponentsText) + msg::kDownloadMarkNote,
       "Bitte wählen Sie die zu installierenden Komponenten und den Installationsordner und klicken Sie dann auf "
       "\"Weiter\", um die Installation abzuschließen.\n\nMit ** markierte Komponenten werden von der Website "
       "heruntergeladen."},
      {"Write error on C:\\P\\x.dat\nThere is not enough space on the disk.",
       "Schreibfehler bei C:\\P\\x.dat\nThere is not enough space on the disk."},
      {"Examples (installed)", "Examples (installiert)"},
      // The product's own texts, and a text that only starts like one of the table's.
      {"Example programs", "Example programs"},
      {"Cancelled by the user", "Cancelled by the user"},
      {"", ""},
  };
  UiTexts english;
  for (const auto& c : cases) {
    EXPECT_EQ(german.Show(c.english), c.shown);
    EXPECT_EQ(english.Show(c.english), c.english);
  }
}

TEST(UiTexts, TheSystemsLanguageOfAnyRegion) {
  EXPECT_STREQ(UiLanguageOfLangId(0x0407), "de");  // Germany
  EXPECT_STREQ(UiLanguageOfLangId(0x0807), "de");  // Switzerland
  EXPECT_STREQ(UiLanguageOfLangId(0x040C), "fr");
  EXPECT_STREQ(UiLanguageOfLangId(0x0C0C), "fr");  // Canada
  EXPECT_STREQ(UiLanguageOfLangId(0x0409), "en");
  EXPECT_STREQ(UiLanguageOfLangId(0x0410), "en");  // Italian: no built-in language
}

}  // namespace
}  // namespace inst
