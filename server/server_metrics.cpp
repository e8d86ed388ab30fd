#include "server/server_metrics.h"

#include <QByteArrayList>

#include <algorithm>
#include <cstdio>

namespace centeremp::server {

namespace {

// The page as counted: one of those served, or "other".
QByteArray pageLabel(QByteArrayView path) {
    if (path.compare(pages::resource, Qt::CaseInsensitive) == 0) return pages::resource.toByteArray();
    for (const QByteArrayView page : {pages::health, pages::ready, pages::metrics}) {
        if (path == page) return page.toByteArray();
    }
    return "other";
}

QByteArray methodLabel(QByteArrayView method) {
    for (const QByteArrayView known : {"GET", "HEAD", "POST"}) {
        if (method == known) return known.toByteArray();
    }
    return "other";
}

QByteArray number(double value, const char* format = "%g") {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void family(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(QByteArray& out, const QByteArray& name, quint64 value) {
    out += name + ' ' + QByteArray::number(value) + '\n';
}

}  // namespace

void ServerMetrics::request(QByteArrayView path, QByteArrayView method, int status, qint64 milliseconds) {
    const double seconds = double(milliseconds) / 1000;
    const auto bucket =
        std::size_t(std::lower_bound(latencyBounds.begin(), latencyBounds.end(), seconds) - latencyBounds.begin());
    auto key = std::make_tuple(pageLabel(path), methodLabel(method), status);
    std::lock_guard lock(mutex_);
    ++requests_[std::move(key)];
    ++latencyCounts_[bucket];
    latencySum_ += seconds;
    ++latencyCount_;
}

void ServerMetrics::batchApplied(qint64 assigned, qint64 removed) {
    ++batches_;
    assigned_ += quint64(assigned);
    removed_ += quint64(removed);
}

void ServerMetrics::databaseFailed() { ++databaseFailures_; }

void ServerMetrics::setLoad(std::function<ServerLoad()> load) {
    std::lock_guard lock(mutex_);
    load_ = std::move(load);
}

QByteArray ServerMetrics::render() const {
    QByteArray out;
    std::function<ServerLoad()> load;
    {
        std::lock_guard lock(mutex_);
        load = load_;
        family(out, "centeremp_requests_total", "counter", "Requests answered, by page, method and status.");
        for (const auto& [key, count] : requests_) {
            const auto& [page, method, status] = key;
            sample(out,
                   "centeremp_requests_total{page=\"" + page + "\",method=\"" + method + "\",status=\"" +
                       QByteArray::number(status) + "\"}",
                   count);
        }
        family(out, "centeremp_request_duration_seconds", "histogram",
               "Time from a request's first line to its answer being queued.");
        quint64 cumulative = 0;
        for (std::size_t i = 0; i < latencyBounds.size(); ++i) {
            cumulative += latencyCounts_[i];
            sample(out, "centeremp_request_duration_seconds_bucket{le=\"" + number(latencyBounds[i]) + "\"}",
                   cumulative);
        }
        sample(out, "centeremp_request_duration_seconds_bucket{le=\"+Inf\"}", latencyCount_);
        out += "centeremp_request_duration_seconds_sum " + number(latencySum_, "%.3f") + '\n';
        sample(out, "centeremp_request_duration_seconds_count", latencyCount_);
    }
    family(out, "centeremp_batches_applied_total", "counter", "Batches applied.");
    sample(out, "centeremp_batches_applied_total", batches_);
    family(out, "centeremp_batch_rows_total", "counter", "Assignments added and removed by applied batches.");
    sample(out, "centeremp_batch_rows_total{change=\"assigned\"}", assigned_);
    sample(out, "centeremp_batch_rows_total{change=\"removed\"}", removed_);
    family(out, "centeremp_database_errors_total", "counter",
           "Requests answered with a database failure (unavailable, time-out, refused).");
    sample(out, "centeremp_database_errors_total", databaseFailures_);
    if (load) {
        const ServerLoad now = load();
        family(out, "centeremp_open_connections", "gauge", "Client connections open.");
        sample(out, "centeremp_open_connections", now.openConnections);
        family(out, "centeremp_queued_requests", "gauge", "Requests waiting for a worker, by pool.");
        sample(out, "centeremp_queued_requests{pool=\"reading\"}", now.queuedReading);
        sample(out, "centeremp_queued_requests{pool=\"writing\"}", now.queuedWriting);
        family(out, "centeremp_workers", "gauge", "Worker threads, by pool.");
        sample(out, "centeremp_workers{pool=\"reading\"}", quint64(now.readers));
        sample(out, "centeremp_workers{pool=\"writing\"}", quint64(now.writers));
    }
    return out;
}

}  // namespace centeremp::server
