#pragma once

#include "graph/graph_export.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace doseplex::app {

// The "Copy Graph" and "Export Graph" dialogs: the window's graphs, the
// picture's size, the curve points and whether the title is drawn. Each of
// the action buttons checks the three numbers and closes the dialog with OK,
// telling which button it was.
class CGraphPictureDialog : public QDialog {
    Q_OBJECT
public:
    // What the button that closed the dialog asks for.
    enum class EAction {
        None,
        CopyColour,
        CopyBlackWhite,
        CopyData,
        CopyCurves,
        Export,
        ExportData,
        ExportCurves
    };

    // The remembered values of each dialog for the life of the program.
    static CGraphPictureSettings& CopySettings();
    static CGraphPictureSettings& ExportSettings();

    // The selected list entry, -1 until the user selects one.
    int SelectedGraph() const;
    EAction Action() const { return m_action; }
    // The values entered (valid once the dialog closed with OK).
    const CGraphPictureSettings& Values() const { return m_values; }
    // "Copy as Bitmap"; false for Export.
    bool AsBitmap() const;

    QListWidget* List() const { return m_list; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* HeightField() const { return m_height; }
    QLineEdit* PointsField() const { return m_points; }
    QCheckBox* TitleBox() const { return m_title; }
    QCheckBox* BitmapBox() const { return m_bitmap; }
    QPushButton* Button(EAction action) const;

    // A button's work: the checks, then OK. False (the dialog stays open
    // with the range message) when a number is out of range.
    bool TryAccept(EAction action);

protected:
    CGraphPictureDialog(const QString& title, const QStringList& graphs,
                        const CGraphPictureSettings& start, bool copy, QWidget* parent);

private:
    CGraphPictureSettings m_values;
    EAction m_action = EAction::None;
    QListWidget* m_list;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QLineEdit* m_points;
    QCheckBox* m_title;
    QCheckBox* m_bitmap = nullptr;
    std::vector<std::pair<EAction, QPushButton*>> m_buttons;
};

// "Copy Graph": Copy Colour, Copy B&W, Copy Data, Copy Curves.
class CCopyGraphDialog final : public CGraphPictureDialog {
    Q_OBJECT
public:
    CCopyGraphDialog(const QStringList& graphs, QWidget* parent = nullptr);
};

// "Export Graph": Export, Export Data, Export Curves.
class CExportGraphDialog final : public CGraphPictureDialog {
    Q_OBJECT
public:
    CExportGraphDialog(const QStringList& graphs, QWidget* parent = nullptr);
};

} // namespace doseplex::app
