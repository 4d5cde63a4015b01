// The main window's company selector (ComboBox2) kept in step with the track
// store's operator codes: "ALL" first, then each operator as it first appears.
#pragma once

class QComboBox;

namespace varnesk {

class TrackStore;

// Fills the box from the store and appends each operator code the store adds
// from now on, keeping the drop-down one line longer than its item count.
void bindCompanySelector(QComboBox* box, TrackStore& store);
// Refills the box from the store's items and selects "ALL" (after a removal
// took an operator code away, or after the clear-plots-and-list command).
void refillCompanySelector(QComboBox* box, const TrackStore& store);

} // namespace varnesk
