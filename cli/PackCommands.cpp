#include "cli/PackCommands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "packs/PackBook.h"
#include "packs/PackFormats.h"

namespace {

struct PackView {
    QString name;
    int slot;
    std::string record;  // "0" for none
    PackInfoTexts texts;
};

PackView Look(PackBook& book, const QString& name) {
    const int slot = book.FindSlot(name);
    PackView view{name, slot, book.Record(slot), {}};
    view.texts = FormatPackRecord(view.record);
    return view;
}

bool HasRecord(const PackView& v) {
    return v.record != kNoRecord;
}

QJsonObject Json(const PackView& v) {
    QJsonObject pack{{"name", v.name}, {"slot", v.slot}};
    if (!HasRecord(v)) {
        pack.insert("lastCharge", QJsonValue::Null);
        pack.insert("charges", 0);
        return pack;
    }
    const PackInfoTexts& t = v.texts;
    auto s = [](const std::string& text) { return QString::fromStdString(text); };
    pack.insert("charges", s(t.charges).toInt());
    pack.insert("lastCharge", QJsonObject{{"peakVoltage", s(t.peakVoltage)},
                                          {"mah", s(t.mah)},
                                          {"averageCurrent", s(t.averageCurrent)},
                                          {"duration", s(t.duration)},
                                          {"date", s(t.date)},
                                          {"time", s(t.time)},
                                          {"previousPeak", s(t.previousPeak)}});
    return pack;
}

std::string Line(const PackView& v) {
    if (!HasRecord(v)) {
        return v.name.toStdString() + ": no charge recorded\n";
    }
    const PackInfoTexts& t = v.texts;
    return v.name.toStdString() + ": " + t.charges + " charges; last " + t.date + " " + t.time +
           ", " + t.mah + " mAh in " + t.duration + ", peak " + t.peakVoltage + " V\n";
}

std::string Whole(const PackView& v) {
    if (!HasRecord(v)) {
        return "Pack Name: " + v.name.toStdString() + "\nNo charge recorded.\n";
    }
    const PackInfoTexts& t = v.texts;
    // The rows of Pack Information, in its words.
    return "Pack Name: " + v.name.toStdString() + "\nPeak Voltage (Volts): " + t.peakVoltage +
           "\nmAH: " + t.mah + "\nAverage Current (Amps): " + t.averageCurrent +
           "\nCharge Duration: " + t.duration + "\nDate: " + t.date + "\nTime: " + t.time +
           "\nSecond-to-Last Peak Voltage: " + t.previousPeak +
           "\nNumber of total Charges: " + t.charges + "\n";
}

std::string Text(const QJsonDocument& document) {
    return document.toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

std::string ListPacks(Profile& profile, PackFormat format) {
    PackBook book(profile);
    std::string text;
    QJsonArray packs;
    for (const QString& name : book.ListOrder()) {
        const PackView view = Look(book, name);
        if (format == PackFormat::Json) {
            packs.append(Json(view));
        } else {
            text += Line(view);
        }
    }
    if (format == PackFormat::Json) {
        return Text(QJsonDocument(packs));
    }
    return text.empty() ? "No packs.\n" : text;
}

bool ShowPack(Profile& profile, const std::string& name, PackFormat format, std::string& out,
              std::string& why) {
    PackBook book(profile);
    const QString wanted = QString::fromStdString(name);
    if (wanted == kNoPack || wanted == kEmptySlot || book.FindSlot(wanted) < 0) {
        why = "there is no pack \"" + name + "\" (kvc410 packs lists them)";
        return false;
    }
    const PackView view = Look(book, wanted);
    out = format == PackFormat::Json ? Text(QJsonDocument(Json(view))) : Whole(view);
    return true;
}
