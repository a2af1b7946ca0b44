#pragma once

#include <QList>
#include <QSize>

class QLabel;
class QWidget;
class TDataSource;
class TDBEdit;
class TScrollBox;

// What the two client windows share once their stored layout is loaded.
namespace ClientWindowLayout {

// The scroll box of a client window has a fixed range, not sized to its contents.
inline constexpr QSize ScrollRange{298, 160};
inline constexpr QSize ScrollMargin{6, 6};

// Moves the controls that the layout placed on the scroll box onto the box's
// contents, keeping their positions, and fixes the scroll range.
void settleScrollBox(TScrollBox* box, const QList<QWidget*>& controls);

// Labels size themselves to their captions in the font they show.
void autoSizeLabels(const QList<QLabel*>& labels);

// Binds each box to the data source, on the field named by its "dataField"
// layout property, and gives the boxes their tab order.
void bindEdits(const QList<TDBEdit*>& edits, TDataSource* source);

} // namespace ClientWindowLayout
