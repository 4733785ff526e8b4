// The charge history: writing the row of a ten-hour charge, opening the Pack History of a pack
// with 1,000 charges, and the health figure over 10,000 charges.

#include <benchmark/benchmark.h>

#include <QTableWidget>
#include <QTemporaryDir>

#include "history/ChargeHistory.h"
#include "history/window/CPackHistoryWnd.h"

namespace {

HistoryCharge Hours(int hours, int n) {
    HistoryCharge c;
    c.packId = "bench";
    c.packName = "AA Pack";
    c.started = QDateTime(QDate(2020, 1, 1), QTime(19, 5)).addDays(n);
    c.ended = c.started.addSecs(hours * 3600);
    c.endReason = n % 7 == 3 ? "Stopped" : "Peak detected";
    c.settings = "12080101080000000";
    c.limits = "2000 1 150 1 0 1 30 1";
    for (int t = 1; t <= hours * 3600; ++t) {
        c.curve.push_back({t, 12.0f + t * 1e-5f, 1.0f});
    }
    FillFiguresFromCurve(c);
    return c;
}

void BM_WriteTenHourChargeRow(benchmark::State& state) {
    QTemporaryDir dir;
    ChargeHistory history(dir.filePath("history.sqlite"));
    history.Open();
    const HistoryCharge charge = Hours(10, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Add(charge));
    }
}
BENCHMARK(BM_WriteTenHourChargeRow)->Unit(benchmark::kMillisecond);

void BM_OpenPackHistoryOf1000Charges(benchmark::State& state) {
    QTemporaryDir dir;
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    {
        ChargeHistory history;
        history.Open();
        HistoryCharge charge = Hours(2, 0);
        for (int n = 0; n < 1000; ++n) {
            charge.started = QDateTime(QDate(2020, 1, 1), QTime(19, 5)).addDays(n);
            charge.endReason = n % 7 == 3 ? "Stopped" : "Peak detected";
            charge.mah = 2000 - n * 0.5;
            history.Add(charge);
        }
    }
    const std::vector<CPackHistoryWnd::Pack> packs{{"bench", "AA Pack", 2000}};
    for (auto _ : state) {
        CPackHistoryWnd window(packs, "AA Pack", nullptr);
        benchmark::DoNotOptimize(window.Table()->rowCount());
    }
    qputenv("XDG_DATA_HOME", previous);
}
BENCHMARK(BM_OpenPackHistoryOf1000Charges)->Unit(benchmark::kMillisecond);

void BM_HealthOver10000Charges(benchmark::State& state) {
    std::vector<HistoryCharge> charges(10000);
    for (size_t n = 0; n < charges.size(); ++n) {
        charges[n].mah = 2000 - double(n) * 0.1;
        charges[n].endReason = n % 7 == 3 ? "Stopped" : "Peak detected";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(JudgeHealth(charges, 2000));
    }
}
BENCHMARK(BM_HealthOver10000Charges)->Unit(benchmark::kMicrosecond);

}  // namespace
