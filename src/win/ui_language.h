// The wizard's language: "--ui-language=CODE", else the user's interface language
// (German and French of any region, English otherwise).
#pragma once

#include "win/process.h"

namespace inst::win {

// Before the payload is read, so that its faults speak the language too: a built-in
// language is taken at once.
void ChooseBuiltInUiLanguage(const InstallerVariables& variables, Services& services);

// Once the payload's resources are out: a language the product carries (the resource
// UITEXTS_CODE, a file of "KEY=text" lines in UTF-8). A code from the command line
// that no language answers ends the run (87).
void ChooseProductUiLanguage(const InstallerVariables& variables, Services& services);

}  // namespace inst::win
