// The list of recorded states of the compare and restore wizards.
#pragma once
#include "ui/wizard.h"

// Fills the list with the states of the program directory, each behind
// "Etat enregistré ". These wizards list states from the hard disk: the
// storage location goes back to it. An index that cannot be read ends the
// filling with its disk error; the states listed so far stay.
void FillRecordedStateList(const TWizard& wizard, const ListBox& list);
