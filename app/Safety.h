#pragma once
// Called once the dictionary is open, before any window reads it. Keeps the dictionary safe
// while the program runs: says once that a dictionary that cannot
// be written was opened read-only; turns the first report of damage from anywhere into one
// message and a read-only dictionary; checks the whole file in the background after the
// window is up, so start-up stays quick on a large dictionary.
void WatchDictionary();

// Waits for the background check (interrupting it); the program calls it before it ends.
void StopWatchingDictionary();

// Whether this run's background check found the dictionary whole, and nothing has found it
// damaged since.
bool CheckedWhole();
