// The comparison run: the before state (setting Pred) against the after
// state (setting Succ), member by member, into the report named after the
// after state; the setting Last then names the report.
#pragma once

// Program.OlderVersions receives the files replaced by an older copy.
// Failures of the file layer outside a comparison raise IoError.
void CompareStates();

class RegistryExclusions;
// The keys the comparison and the undo leave out: the built-in list and the
// user's own, the setting ExcludeReg.
const RegistryExclusions& RegistryExclusionsInForce();
