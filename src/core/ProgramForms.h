#pragma once
// The program's 28 windows, created once at start-up in a fixed order (the main window
// first) and owned by the application object until the program ends.

// Creates every window through Application->CreateForm, each translated while it is made.
void CreateProgramForms();
// The number of windows CreateProgramForms makes.
constexpr int ProgramFormCount = 28;
