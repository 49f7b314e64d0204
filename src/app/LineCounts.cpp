#include "LineCounts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLocale>
#include <QPainter>
#include <new>

#include "CorpusFolder.h"
#include "Errors.h"
#include "FileIO.h"
#include "Translations.h"
#include "sources/Source.h"

namespace {

QString Lines(qint64 lines, const QString& number) {
  return (lines == 1 ? QCoreApplication::translate("TLineCounts", "%1 line")
                     : QCoreApplication::translate("TLineCounts", "%1 lines"))
      .arg(number);
}

}  // namespace

QString LineCountText(qint64 lines) { return Lines(lines, QString::number(lines)); }

QString SourcePairsText(const QString& kind, qint64 pairs) {
  return (pairs == 1 ? QCoreApplication::translate("TLineCounts", "%1, %2 pair")
                     : QCoreApplication::translate("TLineCounts", "%1, %2 pairs"))
      .arg(kind, QLocale().toString(pairs));
}

QString PairDiffersText(const std::string& zhPath, qint64 zhLines, const std::string& enPath, qint64 enLines) {
  // The engine's own wording of it, in the interface language.
  auto name = [](const std::string& path) {
    return QString::fromStdString(korvel::DisplayPath(korvel::FileNamePart(path)));
  };
  return (zhLines == 1 ? QCoreApplication::translate("TLineCounts", "\"%1\" has %2 line, \"%3\" has %4.")
                       : QCoreApplication::translate("TLineCounts", "\"%1\" has %2 lines, \"%3\" has %4."))
      .arg(name(zhPath), QString::number(zhLines), name(enPath), QString::number(enLines));
}

TLineCounts::~TLineCounts() { Stop(); }

void TLineCounts::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  stop_ = false;
}

void TLineCounts::Start(std::vector<std::string> paths) {
  Stop();
  // Counts of the old list may already be queued; the generation drops them.
  const quint64 generation = ++generation_;
  thread_ = std::thread([this, paths = std::move(paths), generation] {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      qint64 lines = -1;
      QString error;
      try {
        auto poll = [this] {
          if (stop_) throw korvel::EAbort();
        };
        switch (korvel::SourceKindOf(paths[i])) {
          case korvel::TSourceKind::Text:
            lines = static_cast<qint64>(korvel::CountTextLines(paths[i], poll));
            break;
          case korvel::TSourceKind::Tmx:
          case korvel::TSourceKind::Tsv: {
            const korvel::TSourceText read = korvel::SourceKindOf(paths[i]) == korvel::TSourceKind::Tmx
                                                 ? korvel::ReadTmx(paths[i], poll)
                                                 : korvel::ReadTsv(paths[i], poll);
            lines = static_cast<qint64>(read.Units - read.Skipped);
            break;
          }
        }
      } catch (const korvel::EAbort&) {
        return;
      } catch (const std::bad_alloc&) {
        error = QCoreApplication::translate("TLineCounts", "Out of memory");
      } catch (const std::exception& e) {
        error = TranslatedMessage(e);
      }
      QMetaObject::invokeMethod(
          this,
          [this, generation, index = static_cast<int>(i), lines, error] {
            if (generation == generation_) emit counted(index, lines, error);
          },
          Qt::QueuedConnection);
    }
  });
}

QString TLineCountDelegate::CountText(const QModelIndex& index) {
  const QVariant count = index.data(kLineCountRole);
  if (!count.isValid()) return {};
  const qint64 lines = count.toLongLong();
  if (lines < 0) return QCoreApplication::translate("TLineCounts", "unreadable");
  if (const QString source = index.data(kSourceRole).toString(); !source.isEmpty())
    return SourcePairsText(source, lines);
  return Lines(lines, QLocale().toString(lines));
}

void TLineCountDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt(option);
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // An entry as wide as the longest path would put the count out of sight.
  if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
    opt.rect.setRight(std::min(opt.rect.right(), view->viewport()->width() - 1));
  const QString count = CountText(index);
  const bool differs = index.data(kPairDiffersRole).toBool();
  const QFontMetrics& fm = opt.fontMetrics;
  const int gap = count.isEmpty() ? 0 : fm.horizontalAdvance(QStringLiteral("  "));
  const int icon = differs ? fm.height() : 0;
  const int countWidth = fm.horizontalAdvance(count) + (differs ? icon + gap / 2 : 0);
  const int right = opt.rect.right() - style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, widget) - 2;
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
  // A long path gives way to the count, never the other way round.
  opt.text = fm.elidedText(opt.text, opt.textElideMode, std::max(0, right - countWidth - gap - textRect.left()));
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  if (count.isEmpty()) return;

  painter->save();
  const QRect countRect(right - countWidth + 1, opt.rect.top(), countWidth, opt.rect.height());
  if (differs) {
    const QRect iconRect(countRect.left(), countRect.center().y() - icon / 2, icon, icon);
    style->standardIcon(QStyle::SP_MessageBoxWarning, &opt, widget).paint(painter, iconRect);
  }
  const bool selected = opt.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(selected   ? opt.palette.color(group, QPalette::HighlightedText)
                  : differs ? QColor(200, 0, 0)
                            : QColor(128, 128, 128));
  painter->setFont(opt.font);
  painter->drawText(countRect, Qt::AlignRight | Qt::AlignVCenter, count);
  painter->restore();
}
