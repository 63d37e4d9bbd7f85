#include "history_window.h"

#include "database.h"
#include "front_panel.h"
#include "history.h"
#include "judged_point.h"
#include "results_csv.h"
#include "results_recording.h"
#include "userint.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <optional>

namespace ortav::history {

using namespace ortav::results;

namespace {

const char *kindText(const std::string &kind) {
    if (kind == kVerification)
        return "Поверка";
    if (kind == kManual)
        return "Ручная поверка";
    if (kind == kCalibration)
        return "Калибровка";
    if (kind == kStore)
        return "Запись коэффициентов";
    if (kind == kSelfTest)
        return "Самоконтроль";
    return kind.c_str();
}

QString verdictText(const std::string &v) {
    static const std::pair<const char *, const char *> texts[] = {
        {"passed", "норма"},         {"failed", "не норма"}, {"incomplete", "не завершена"},
        {"interrupted", "прервана"}, {"stored", "записаны"}, {"refused", "не записаны"}};
    for (const auto &[key, text] : texts)
        if (v == key)
            return QString::fromUtf8(text);
    return QString::fromStdString(v);
}

QString localDate(std::time_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QTableWidgetItem *item(const QString &text) {
    auto *i = new QTableWidgetItem(text);
    i->setFlags(i->flags() & ~Qt::ItemIsEditable);
    return i;
}

class HistoryWindow : public QDialog {
public:
    HistoryWindow() {
        setObjectName(QStringLiteral("history"));
        setWindowTitle(QStringLiteral("История"));
        auto *layout = new QVBoxLayout(this);
        title_ = new QLabel(this);
        title_->setObjectName(QStringLiteral("module"));
        layout->addWidget(title_);
        auto *tabs = new QTabWidget(this);
        layout->addWidget(tabs);

        auto *runsPage = new QWidget;
        auto *runsLayout = new QVBoxLayout(runsPage);
        runs_ = new QTableWidget(0, 5, runsPage);
        runs_->setObjectName(QStringLiteral("runs"));
        runs_->setHorizontalHeaderLabels({"Дата", "Вид", "Результат", "Станция", "Оператор"});
        runs_->setSelectionBehavior(QAbstractItemView::SelectRows);
        runs_->setSelectionMode(QAbstractItemView::SingleSelection);
        runs_->horizontalHeader()->setStretchLastSection(true);
        points_ = new QTableWidget(0, 7, runsPage);
        points_->setObjectName(QStringLiteral("points"));
        points_->setHorizontalHeaderLabels(
            {"Канал", "Режим", "Задано", "Измерено", "Отклонение", "Допуск", "Результат"});
        runsLayout->addWidget(runs_, 1);
        runsLayout->addWidget(points_, 1);
        tabs->addTab(runsPage, QStringLiteral("Прогоны"));

        for (int c = 0; c < 2; ++c) {
            charts_[c] = new QChart;
            charts_[c]->setTitle(
                QStringLiteral("Канал %1: отклонение резисторов от номинала, %").arg(c + 1));
            auto *view = new QChartView(charts_[c]);
            view->setObjectName(QStringLiteral("drift%1").arg(c + 1));
            view->setRenderHint(QPainter::Antialiasing);
            tabs->addTab(view, QStringLiteral("Дрейф, канал %1").arg(c + 1));
        }

        auto *buttons = new QHBoxLayout;
        // Runs of other stations, or of this one since the window opened.
        auto *refresh = new QPushButton(QStringLiteral("Обновить"), this);
        refresh->setObjectName(QStringLiteral("refresh"));
        buttons->addWidget(refresh);
        auto *exportRun = new QPushButton(QStringLiteral("Прогон в CSV..."), this);
        exportRun->setObjectName(QStringLiteral("exportRun"));
        auto *exportAll = new QPushButton(QStringLiteral("История в CSV..."), this);
        exportAll->setObjectName(QStringLiteral("exportHistory"));
        buttons->addStretch(1);
        buttons->addWidget(exportRun);
        buttons->addWidget(exportAll);
        layout->addLayout(buttons);

        connect(runs_, &QTableWidget::currentCellChanged, this,
                [this](int row, int, int, int) { showPoints(row); });
        connect(exportRun, &QPushButton::clicked, this, [this] {
            const int row = runs_->currentRow();
            if (row < 0 || row >= static_cast<int>(list_.size())) {
                MessagePopup("История", "Выберите прогон.");
                return;
            }
            save(runCsv(list_[static_cast<std::size_t>(row)]));
        });
        connect(exportAll, &QPushButton::clicked, this, [this] { save(historyCsv(list_)); });
        connect(refresh, &QPushButton::clicked, this, [this] { reload(); });
        resize(900, 640);
        reload();
    }

    // Reads the database again; the run looked at stays selected.
    void reload() {
        const int row = runs_->currentRow();
        const std::string selected =
            row >= 0 && row < static_cast<int>(list_.size()) ? list_[std::size_t(row)].runId : "";
        list_.clear();
        Recorder *recorder = ortav::recording::recorder();
        if (recorder == nullptr) {
            runs_->setRowCount(0);
            points_->setRowCount(0);
            title_->setText(QStringLiteral("База результатов не открыта: ") +
                            QString::fromStdString(ortav::recording::lastError()));
            return;
        }
        Database &db = recorder->history();
        const bool module = mvi != 0;
        const ModuleKey key = ortav::recording::openModule();
        for (const RunRecord &r : module ? db.runs(key) : db.allRuns())
            if (std::optional<RunRecord> full = db.run(r.runId))
                list_.push_back(*full);
        QString title = module
                            ? (key.asset.empty()
                                   ? QString::fromStdString(key.carrierResource) +
                                         QStringLiteral(", позиция %1").arg(key.position)
                                   : QStringLiteral("Инв. № ") + QString::fromStdString(key.asset))
                            : QStringLiteral("Все модули");
        if (module) {
            if (std::optional<Due> due = ortav::recording::openModuleDue())
                title +=
                    QStringLiteral("; ") + QString::fromStdString(ortav::recording::dueText(*due));
            else
                title += QStringLiteral("; калибровок не записано");
        }
        title_->setText(title);
        runs_->setRowCount(static_cast<int>(list_.size()));
        for (int i = 0; i < static_cast<int>(list_.size()); ++i) {
            const RunRecord &r = list_[static_cast<std::size_t>(i)];
            runs_->setItem(i, 0, item(localDate(r.started)));
            runs_->setItem(i, 1, item(QString::fromUtf8(kindText(r.kind))));
            runs_->setItem(i, 2, item(verdictText(r.verdict)));
            runs_->setItem(i, 3, item(QString::fromStdString(r.station)));
            runs_->setItem(i, 4, item(QString::fromStdString(r.operatorName)));
            if (r.verdict == "failed" || r.verdict == "refused")
                runs_->item(i, 2)->setForeground(Qt::red);
        }
        points_->setRowCount(0);
        drift(module ? ortav::results::drift(db, key) : std::vector<DriftPoint>{});
        for (int i = 0; i < static_cast<int>(list_.size()); ++i)
            if (!selected.empty() && list_[std::size_t(i)].runId == selected) {
                runs_->setCurrentCell(i, 0);
                showPoints(i); // the cell may have been current already
            }
    }

private:
    void showPoints(int row) {
        points_->setRowCount(0);
        if (row < 0 || row >= static_cast<int>(list_.size()))
            return;
        const RunRecord &r = list_[static_cast<std::size_t>(row)];
        points_->setRowCount(static_cast<int>(r.points.size()));
        for (int i = 0; i < static_cast<int>(r.points.size()); ++i) {
            const PointRecord &p = r.points[static_cast<std::size_t>(i)];
            const QString unit = p.mode == 1 ? QStringLiteral(" Ом") : QStringLiteral(" мА");
            points_->setItem(i, 0, item(QString::number(p.chan)));
            points_->setItem(i, 1, item(p.mode == 1 ? "R" : "I"));
            points_->setItem(i, 2, item(QString::number(p.set, 'f', 4) + unit));
            points_->setItem(i, 3, item(QString::number(p.measured, 'f', 4) + unit));
            points_->setItem(i, 4, item(QString::number(p.deviation, 'f', 4) + unit));
            points_->setItem(i, 5, item(QString::number(p.permitted, 'f', 4) + unit));
            points_->setItem(i, 6, item(p.failed ? "не норма" : "норма"));
            if (p.failed)
                points_->item(i, 6)->setForeground(Qt::red);
        }
    }

    void drift(const std::vector<DriftPoint> &points) {
        for (int c = 0; c < 2; ++c) {
            QChart *chart = charts_[c];
            chart->removeAllSeries();
            for (QAbstractAxis *a : chart->axes()) {
                chart->removeAxis(a); // the axis is the caller's then
                delete a;
            }
            auto *x = new QDateTimeAxis;
            x->setFormat(QStringLiteral("dd.MM.yyyy"));
            auto *y = new QValueAxis;
            y->setTitleText(QStringLiteral("%"));
            chart->addAxis(x, Qt::AlignBottom);
            chart->addAxis(y, Qt::AlignLeft);
            double low = 0, high = 0;
            for (int k = 0; k < 18; ++k) {
                auto *s = new QLineSeries;
                s->setName(QStringLiteral("R%1").arg(k + 1));
                s->setPointsVisible(true);
                for (const DriftPoint &d : points) {
                    const double percent = 100.0 * d.relative[c][k];
                    s->append(static_cast<qreal>(d.time) * 1000.0, percent);
                    low = std::min(low, percent);
                    high = std::max(high, percent);
                }
                chart->addSeries(s);
                s->attachAxis(x);
                s->attachAxis(y);
            }
            if (!points.empty()) {
                const auto first = QDateTime::fromSecsSinceEpoch(points.front().time);
                const auto last = QDateTime::fromSecsSinceEpoch(points.back().time);
                x->setRange(first.addDays(-1), last.addDays(1));
            }
            y->setRange(low - 0.1, high + 0.1);
        }
    }

    void save(const std::string &text) {
        char path[260] = "";
        if (FileSelectPopup("", "*.csv", "*.csv", "Экспорт в CSV", VAL_SAVE_BUTTON, 0, 0, 1, 1,
                            path, sizeof path) <= 0)
            return;
        QFile f(QString::fromLocal8Bit(path));
        const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                        f.write(text.data(), static_cast<qint64>(text.size())) ==
                            static_cast<qint64>(text.size()) &&
                        f.flush();
        f.close();
        if (!ok || f.error() != QFileDevice::NoError)
            MessagePopup("Экспорт в CSV", ("Файл не записан: " + std::string(path)).c_str());
    }

    QLabel *title_ = nullptr;
    QTableWidget *runs_ = nullptr;
    QTableWidget *points_ = nullptr;
    QChart *charts_[2] = {};
    std::vector<RunRecord> list_;
};

QPointer<HistoryWindow> g_window;

} // namespace

void showHistoryWindow() {
    if (!g_window) {
        g_window = new HistoryWindow;
        g_window->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        g_window->reload();
    }
    g_window->show();
    g_window->raise();
}

void closeHistoryWindow() {
    if (g_window)
        delete g_window.data();
}

QWidget *historyWindow() {
    return g_window.data();
}

std::string runCsv(const RunRecord &run) {
    using namespace ortav::uncertainty;
    std::string s = ortav::calib::kCsvHeader;
    const std::optional<Rule> rule = ruleFromName(run.decisionRule);
    for (const PointRecord &p : run.points) {
        ortav::calib::JudgedPoint j;
        j.time = p.time;
        j.chan = p.chan;
        j.mode = p.mode;
        j.set = p.set;
        j.measured = p.measured;
        j.deviation = p.deviation;
        j.permitted = p.permitted;
        j.failed = p.failed;
        j.uncertainty.known = p.uncertaintyKnown;
        j.uncertainty.expanded = p.expanded;
        j.tur = p.tur;
        j.rule = rule.value_or(Rule::Simple);
        for (Verdict v : {Verdict::Pass, Verdict::Fail, Verdict::Conditional})
            if (p.guarded == verdictName(v))
                j.guarded = v;
        std::string row = ortav::calib::csvRow(j, run.simulated ? run.bench : "");
        // What a run recorded before the database kept it is not known: said so,
        // never made up (its rule is column 10, its guarded verdict column 14).
        const auto unknown = [&row](int column) {
            std::size_t at = 0;
            for (int c = 1; c < column; ++c)
                at = row.find(',', at) + 1;
            row.replace(at, row.find(',', at) - at, "unknown");
        };
        if (!rule)
            unknown(10);
        if (p.guarded.empty())
            unknown(14);
        s += row;
    }
    return s;
}

std::string historyCsv(const std::vector<RunRecord> &runs) {
    std::string s = "run_id,kind,started,finished,verdict,station,operator,asset,resource,"
                    "position,points,points_failed\n";
    auto field = [](const std::string &t) {
        if (t.find_first_of(",\"\n") == std::string::npos)
            return t;
        std::string q = "\"";
        for (char c : t)
            q += c == '"' ? std::string("\"\"") : std::string(1, c);
        return q + "\"";
    };
    for (const RunRecord &r : runs) {
        int failed = 0;
        for (const PointRecord &p : r.points)
            failed += p.failed ? 1 : 0;
        s += field(r.runId) + "," + field(r.kind) + "," + utcText(r.started) + "," +
             utcText(r.finished) + "," + field(r.verdict) + "," + field(r.station) + "," +
             field(r.operatorName) + "," + field(r.asset) + "," + field(r.carrierResource) + "," +
             std::to_string(r.position) + "," + std::to_string(r.points.size()) + "," +
             std::to_string(failed) + "\n";
    }
    return s;
}

} // namespace ortav::history
