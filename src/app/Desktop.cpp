#include "Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "Unit1.h"

QString TDesktop::ChooseFolder(QWidget* parent, const QString& preselected) {
  return QFileDialog::getExistingDirectory(parent, QString(), preselected);
}

QStringList TDesktop::ChooseFiles(QWidget* parent, const QString& preselected) {
  return QFileDialog::getOpenFileNames(
      parent, QCoreApplication::translate("TDesktop", "Choose Files"), preselected,
      QCoreApplication::translate("TDesktop", "Corpus files (*.txt *.tmx *.tsv *.en *.zh *.zh_cn *.zh-cn *.cmn)") +
          ";;" + QCoreApplication::translate("TDesktop", "All files (*)"));
}

bool TDesktop::SearchWithout(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Warning, kAppTitle, message, QMessageBox::Yes | QMessageBox::No, parent);
  box.setInformativeText(QCoreApplication::translate("TDesktop", "Search the other sources without it?"));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

TDesktop::TSaveChoice TDesktop::SaveFileName(QWidget* parent, const QString& suggested, const QStringList& types,
                                             const QString& type) {
  TSaveChoice choice{QString(), type};
  choice.path = QFileDialog::getSaveFileName(parent, QString(), suggested, types.join(";;"), &choice.type);
  return choice;
}

bool TDesktop::ConfirmOverwrite(QWidget* parent, const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const QString question =
      QCoreApplication::translate("TDesktop", "%1 already exists.\nDo you want to replace it?").arg(name);
  return QMessageBox::question(parent, kAppTitle, question,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TDesktop::ShowFileInExplorer(const QString& path) {
  const QString trimmed = path.trimmed();
  QFileInfo info(trimmed);
  if (trimmed.isEmpty() || !info.isFile()) return;
  const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString();

  const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    QDesktopServices::openUrl(folder);
    return;
  }
  const QString service = "org.freedesktop.FileManager1";
  QDBusMessage call = QDBusMessage::createMethodCall(service, "/org/freedesktop/FileManager1", service, "ShowItems");
  call << QStringList{uri} << QString();
  // Asynchronous, so the window never waits on the file manager; without
  // one on the bus, the folder opens instead.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
    if (w->isError()) QDesktopServices::openUrl(folder);
    w->deleteLater();
  });
}

void TDesktop::OpenFolder(const QString& path) {
  if (!path.trimmed().isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TDesktop::ShowError(QWidget* parent, const QString& message, const QString& detail) {
  QMessageBox box(QMessageBox::Critical, kAppTitle, message, QMessageBox::Ok, parent);
  if (!detail.isEmpty()) box.setDetailedText(detail);
  box.exec();
}
