#pragma once

#include <QDialog>

#include "list/ExportSettings.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvid {

// The "Export" dialog: the format (three radio buttons), the export name and the
// export file. It starts from the values it is given and hands them back on OK.
class CExportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExportDlg(QWidget* parent = nullptr);

    // Moves the values into the controls; a format index outside 0 to 2 checks no button.
    void SetSettings(const SExportSettings& settings);
    // The values taken over by the last OK (format index -1 and empty texts before).
    const SExportSettings& GetSettings() const { return m_settings; }

    QRadioButton* FormatButton(int index) const;
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* FileEdit() const { return m_file; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

public slots:
    // Reads and checks the controls; a field over the limit shows the message and
    // keeps the dialog open.
    void accept() override;

private:
    SExportSettings m_settings;
    QButtonGroup* m_formats;
    QLineEdit* m_name;
    QLineEdit* m_file;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

}  // namespace corvid
