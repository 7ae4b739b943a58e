#pragma once
// CSiteDialogPage: one page of the site properties sheet. Its values are plain members that
// the sheet copies in from the site before it runs and out after OK. The controls are built
// only when the page is first shown, so a page the user never opens hands its values back
// exactly as they came in.

#include <QString>
#include <QWidget>

class CDataExchange;

class CSiteDialogPage : public QWidget {
    Q_OBJECT
public:
    explicit CSiteDialogPage(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    bool IsCreated() const { return m_created; }

    // Builds the controls and runs the page's initialisation; only the first call does.
    void Create();
    // Values to controls (false) or controls to values with their checks (true); false when
    // a check failed.
    bool UpdateData(bool save);

    // The page is about to show. After the first time the controls are filled again from the
    // values, which another page may have changed meanwhile.
    virtual void OnSetActive();
    // The page is about to be left, for another page or for OK; false keeps it showing.
    virtual bool OnKillActive();
    // Where the keyboard focus goes when the page shows.
    virtual QWidget* FirstControl() const = 0;

protected:
    virtual void BuildControls() = 0;
    // Runs once after BuildControls; the default fills the controls from the values.
    virtual void OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx) = 0;

private:
    QString m_caption;
    bool m_created = false;
    bool m_firstSetActive = true;
};
