// The registry's roots and value kinds, as the manifest's [Registry] entries name
// them and the registry layer takes them.
#pragma once

namespace inst {

// Root codes: 1 HKEY_CLASSES_ROOT, 2 HKEY_CURRENT_CONFIG, 3 HKEY_CURRENT_USER, 4
// HKEY_LOCAL_MACHINE; the manifest also gives 5 (HKPP) and 0 (a root it does not
// know). Any code but 2 to 4 stands for HKEY_CLASSES_ROOT.
enum RegistryRoot : int { kRootOther = 0, kHKCR = 1, kHKCC = 2, kHKCU = 3, kHKLM = 4, kRootHKPP = 5 };

// What a [Registry] entry writes: a DWORD or a string.
enum RegistryKind : int { kRegistryNumber = 0, kRegistryString = 1 };

}  // namespace inst
