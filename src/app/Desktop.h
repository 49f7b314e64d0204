// TDesktop — what the window asks of the desktop: dialogs, the file manager,
// the error report. One seam, so tests replace every interaction with the
// user's session by a fake. Used on the GUI thread only.
#ifndef KORVEL_DESKTOP_H
#define KORVEL_DESKTOP_H

#include <QString>
#include <QStringList>

class QWidget;

class TDesktop {
 public:
  virtual ~TDesktop() = default;

  // The chosen folder, or an empty string when the user cancels.
  virtual QString ChooseFolder(QWidget* parent, const QString& preselected);
  // The chosen corpus files, or none when the user cancels.
  virtual QStringList ChooseFiles(QWidget* parent, const QString& preselected);
  // A source could not be read (`message` says why): true to search the
  // other sources without it.
  virtual bool SearchWithout(QWidget* parent, const QString& message);
  // The save dialog over file `types` (name filters such as "Text
  // (*.txt)"), `type` chosen at first: the chosen file name and type, or an
  // empty name when the user cancels. The dialog asks before replacing an
  // existing file.
  struct TSaveChoice {
    QString path;
    QString type;
  };
  virtual TSaveChoice SaveFileName(QWidget* parent, const QString& suggested, const QStringList& types,
                                   const QString& type);
  // Asks before replacing a file the save dialog did not ask about (the
  // name that gained the type's extension); true to replace it.
  virtual bool ConfirmOverwrite(QWidget* parent, const QString& path);
  // Asks the file manager to show the file selected; never waits for it.
  virtual void ShowFileInExplorer(const QString& path);
  // Opens the folder with the desktop's default action.
  virtual void OpenFolder(const QString& path);
  // The error report: title, stop icon, one OK button; `detail`, where the
  // fault lies, behind the box's details button when there is one.
  virtual void ShowError(QWidget* parent, const QString& message, const QString& detail = {});
};

#endif
