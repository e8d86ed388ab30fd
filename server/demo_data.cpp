#include "server/demo_data.h"

#include <QStringList>

#include <algorithm>
#include <set>
#include <utility>

namespace centeremp::server {

namespace {

const QStringList firstNames =
    QString::fromUtf8(
        "Ann Bob Carla David Elena Frank Grace Henry Ingrid James Karen Luis Maria Noah Olivia "
        "Peter Quinn Rosa Samuel Tanya Umar Valerie Walter Ximena Yusuf Zoë André Chloé Søren "
        "Jürgen Renée Begoña Priya Mei Aisha Tomás Björn Fatima Kenji Linda")
        .split(u' ');

const QStringList lastNames =
    QString::fromUtf8(
        "Smith Johnson Garcia Brown Miller Davis Rodriguez Martinez Wilson Anderson Taylor Thomas "
        "Moore Jackson Martin Lee Thompson White Harris Clark Lewis Walker Young King Müller "
        "Lefèvre Ødegaard Peña Gonçalves Novák Šimek Nakamura Okafor Kowalski Nowak Fischer")
        .split(u' ');

// Names that exercise escaping and the Windows-1252 range; placed at fixed positions.
const std::pair<std::size_t, QString> specialNames[] = {
    {5, QStringLiteral("José Müller")},           {12, QStringLiteral("Seán O'Brien")},
    {18, QStringLiteral("Dana \"DJ\" Jones")},    {27, QStringLiteral("Smith & Wesson Cleaning")},
    {33, QStringLiteral("<Temp> Night Shift")},   {41, QStringLiteral("François Lefèvre")},
    {56, QStringLiteral("Maëlle Cœur")},          {63, QStringLiteral("Žaneta Nováková")},
    {78, QStringLiteral("Ängel O'Connor & Søn")}, {90, QStringLiteral("Mary-Jane Okoro")},
};

// A small fixed-seed generator: the data must not change between runs or platforms.
class Sequence {
public:
    quint32 next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 state_ = 20240611u;
};

}  // namespace

DemoData makeDemoData() {
    DemoData data;
    Sequence random;
    std::set<QString> used;
    qint32 id = 100;
    while (data.employees.size() < 320) {
        id += 1 + (random.below(10) == 0 ? random.below(4) : 0);  // a few gaps, as after deletions
        QString name;
        for (const auto& [position, specialName] : specialNames) {
            if (position == data.employees.size()) name = specialName;
        }
        while (name.isEmpty() || used.count(name)) {
            name = firstNames[random.below(int(firstNames.size()))] + u' ' +
                   lastNames[random.below(int(lastNames.size()))];
        }
        used.insert(name);
        const bool active = (data.employees.size() % 37) != 20;  // a handful have left
        data.employees.push_back({id, name, active});
    }

    // Five centres; some employees work at two.
    const QString centreNames[] = {u"Head Office"_qs, u"North Depot"_qs, u"South Depot"_qs, u"Harbour Works"_qs,
                                   u"Field Service"_qs};
    for (qint32 center = 1; center <= 5; ++center) data.centres.push_back({center, centreNames[center - 1]});
    std::set<std::pair<qint32, qint32>> assigned;
    for (qint32 center = 1; center <= 5; ++center) {
        const int count = 15 + random.below(20);
        while (int(std::count_if(assigned.begin(), assigned.end(),
                                 [center](const auto& pair) { return pair.first == center; })) < count) {
            const SeedEmployee& employee = data.employees[random.below(int(data.employees.size()))];
            if (employee.active) assigned.insert({center, employee.id});
        }
    }
    for (const auto& [center, employee] : assigned) data.assignments.push_back({center, employee});
    return data;
}

}  // namespace centeremp::server
