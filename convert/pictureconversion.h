#pragma once

#include "list/listcommands.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

namespace tarnwick {

// One picture of a conversion: its name in the folder and the name of its
// JPEG copy there.
struct ConversionItem
{
    QString source;
    QString target;
    // An earlier picture of the same conversion has this target: skipped.
    bool claimed = false;
};

// What became of one picture.
struct ConversionResult
{
    enum class Kind {
        Written,   // the copy is at target
        Skipped,   // target was taken: by a file, or by an earlier picture of the same conversion
        Failed,    // reason: the reader's, the encoder's or the system's
        Cancelled, // not started, or stopped, before the copy was in place
    };
    Kind kind = Kind::Cancelled;
    QString reason;
};

// Whether one picture's copy may still be put in place: either a cancel or
// a time limit halts it first, or its job claims it just before the rename,
// never both. Thread-safe.
class PlacementGate
{
public:
    // Stops the copy from being put in place; false when the job claimed it first.
    bool halt();
    // Claims the rename for the job; false when halted first.
    bool claim();
    bool halted() const { return m_state == kHalted; }

private:
    static constexpr int kOpen = 0, kHalted = 1, kClaimed = 2;
    std::atomic<int> m_state = kOpen;
};

// The conversion of pictures (bare names in the folder, in name order): each
// one's JPEG name, a name that two pictures would take going to the first.
std::vector<ConversionItem> planConversion(const QStringList &pictures);

// Makes the JPEG copy of one picture in folder (ending in "/"): a .jpeg or
// .jpe picture is copied byte for byte, any other is decoded and written
// again (see convertPicture) with what is transparent laid onto background.
// The copy is written under a hidden temporary name and renamed to its
// target only if that name is still free; the picture itself is only read.
// Thread-safe; a halted gate stops it before the work, and the rename goes
// only through the gate.
ConversionResult convertOnePicture(const QString &folder, const ConversionItem &item, quint32 background,
                                   PlacementGate &gate);

// Removes from folder the temporaries of conversions that were killed.
void removeStaleConversionTemporaries(const QString &folder);

// Adds the names in added (not yet listed) to names at their name places:
// each goes before the first entry, at or after the one before it, that
// comes after it in name order, so that a list in name order stays in name
// order and a list in the user's order keeps it. Exactly the added names end
// up selected. The list never grows past kMostPages: the names last in name
// order are left out.
ListEdit insertAtNamePlaces(QStringList &names, std::vector<bool> &selected, QStringList added);

// The window's report of a finished conversion: "已转换n张图片。", then the
// pictures skipped and failed with their reasons (at most 20, then the count).
QString conversionReport(const std::vector<ConversionItem> &items, const std::vector<ConversionResult> &results);

} // namespace tarnwick
