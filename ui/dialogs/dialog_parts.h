#pragma once
// Pieces that the dialogs' group boxes share: the icon at a group's top left, its
// explanatory text, and a check box sitting on the group box's top edge.

#include <QString>

#include <functional>

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
// The keys that go from tab to tab anywhere in dialog, whatever holds the focus: Ctrl+Tab
// and Ctrl+PgDn call step(1), Ctrl+Shift+Tab and Ctrl+PgUp step(-1).
void AddTabStepKeys(QDialog* dialog, const std::function<void(int step)>& step);
