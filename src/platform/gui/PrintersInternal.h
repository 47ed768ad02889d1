#pragma once
// Inside the layer only: the toolkit printer behind Printer() and the printer dialogs.
#include <QPrinter>

// The one printer object of the program (made on first use, at the printer's resolution;
// with no printer set up it writes PDF).
QPrinter& SharedQPrinter();
