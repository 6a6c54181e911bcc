#pragma once

#include <QString>

// Small helpers the windows and the build share.

// True when a folder (isFolder) or a regular file (!isFolder) exists at the path.
bool PathExists(const QString& path, bool isFolder);
bool FileExists(const QString& path, bool isFolder = false);

// Lets pending window events run, then returns within about 10 ms.
void Pause(int times = 1);

// A uniformly drawn whole number from 0 to maxValue, both included.
int RandomNumber(int maxValue);

// Every occurrence of find replaced by replacement, letter case counting; an empty find
// leaves the text as it is. compareMode is kept for callers that pass 0 (exact match).
QString ReplaceText(const QString& text, const QString& find, const QString& replacement,
                    int compareMode = 0);
