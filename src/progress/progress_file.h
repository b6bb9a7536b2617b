// Writing one entry of the progress file so that the file on disk is always
// either the old one or the new one, whole. The file holds the progress of
// every save the player ever made, and an INI writer rewrites all of it in
// place: a full disk, a failed write or a crash half-way would cut off every
// entry after the point it reached.
#pragma once

// The copy a save writes before it replaces the progress file: the progress
// file's name with ".new" after it. Only a save makes, reads or replaces it;
// a copy a crash left behind is overwritten by the next save.
constexpr wchar_t kProgressCopySuffix[] = L".new";

// Sets `key` in `section` of the progress file to `value` through a copy
// beside it: the copy must read the entry back exactly and hold at least
// every entry of the old file before it replaces the old file in one step.
// On false the progress file is unchanged and no copy is left.
bool WriteProgressEntry(const wchar_t* section, const wchar_t* key, const wchar_t* value);
