#pragma once
// Pieces that the dialogs' group boxes share: the icon at a group's top left, its
// explanatory text, and a check box sitting on the group box's top edge.

#include <QString>

class CImageButton;
class QCheckBox;
class QDialog;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QWidget;

QLabel* MakeGroupIcon(const char* resource, QWidget* parent);
// Word-wrapped, and marked so that disabling its group leaves it readable.
QLabel* MakeExplanation(const QString& text, QWidget* parent);
// A check box drawn over the top edge of box, where the title would be. It is the box's
// sibling, not its child, so that switching the group off leaves the check box usable.
// The box needs a parent.
QCheckBox* AddEdgeCheckBox(QGroupBox* box, const QString& text);
// A row of a number group: caption in column 1, the box in column 2, its unit (if any) in 3.
void AddNumberRow(QGridLayout* layout, int row, const QString& caption, QWidget* edit,
                  const QString& unit);
// OK (the default button; it accepts) and Cancel (it rejects), side by side at the right.
QHBoxLayout* MakeOkCancelRow(QDialog* dialog, CImageButton*& ok, CImageButton*& cancel);
