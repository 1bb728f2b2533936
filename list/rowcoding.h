#pragma once

#include <QByteArray>

#include <vector>

namespace tarnwick {

// Compact forms of what a list step keeps, so the history's 500 steps of a
// 32,767-entry list stay small.
//
// A row map (map[newRow] = old row, -1 for an entry new to the list) as runs
// of rows that come from consecutive old rows, upwards or downwards: a block
// moved by one place is a few bytes, two neighbours swapped are one run.
QByteArray encodeRowMap(const std::vector<int> &map);
std::vector<int> decodeRowMap(const QByteArray &code, int count);

// A selected flag per row, as alternating run lengths or as a bitmap,
// whichever is shorter.
QByteArray encodeFlags(const std::vector<bool> &flags);
std::vector<bool> decodeFlags(const QByteArray &code, int count);

} // namespace tarnwick
