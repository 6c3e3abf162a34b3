// The registry's roots and value kinds, as the manifest's [Registry] entries name
// them and the registry layer takes them.
#pragma once

namespace inst {

// Root codes: 1 HKEY_CLASSES_ROOT, 2 HKEY_CURRENT_CONFIG, 3 HKEY_CURRENT_USER, 4
// HKEY_LOCAL_MACHINE; the manifest also gives 5 (HKPP) and 0 (a root it does not
// know). Any code but 2 to 4 stands for HKEY_CLASSES_ROOT.
enum RegistryRoot : int { kRootOther = 0, kHKCR = 1, kHKCC = 2, kHKCU = 3, kHKLM = 4, kRootHKPP = 5 };

// Added to a root code: the 64-bit view of that root, for keys that 64-bit programs
// read (the shell's App Paths). A 32-bit installer on 64-bit Windows otherwise
// writes SOFTWARE keys into the 32-bit view (Wow6432Node); on 32-bit Windows and
// for the 64-bit installer there is one view and this changes nothing. The journal
// keeps the code whole, so a write is taken back in the view it was made in.
inline constexpr int kView64 = 0x100;
inline constexpr int kHKLM64 = kHKLM | kView64;

// What a [Registry] entry writes: a DWORD or a string.
enum RegistryKind : int { kRegistryNumber = 0, kRegistryString = 1 };

}  // namespace inst
