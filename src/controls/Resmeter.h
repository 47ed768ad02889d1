#pragma once
// Resmeter: how much of the system's resources is still free, for the jobs that stop
// before the system runs out (the thumbnail panel checks it before and while it builds).
//
// Linux has none of the 16-bit system, GDI and USER heaps these routines were made for;
// the figure that tells a program the same thing here is the memory the system can still
// give to programs: MemAvailable of /proc/meminfo in percent of MemTotal. All three
// queries answer with it, and -1 when the system does not report it.
#include <string>

// False: the system has a resource meter to consult (on Linux, the free memory). True
// would mean a system of the NT family, on which the queries are not made.
bool IsWinNT();
// Free resources in percent (0..100), or -1 when not available.
int GetSystemResourcesFree();
int GetGDIResourcesFree();
int GetUserResourcesFree();
// True when one of the three readings lies within 0..10 (-1 never counts as low).
bool SystemResourcesLow();
// The same decision for three readings.
bool ResourcesLow(int system, int gdi, int user);

// Where the memory figures are read (tests point it at a file of their own; an empty
// path means /proc/meminfo).
void SetMemInfoFile(const std::string& path);
