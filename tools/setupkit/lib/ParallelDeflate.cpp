#include "setupkit/lib/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace {
constexpr size_t kDictSize = 32768;
}

struct CParallelDeflater::Block {
    IDeflateSink* sink = nullptr;
    bool first = false;
    bool last = false;
    std::vector<unsigned char> dict;
    std::vector<unsigned char> in;
    std::vector<unsigned char> out;
    uint32_t crc = 0;
    std::string error;
};

struct CParallelDeflater::Worker {
    z_stream zs{};
    bool ready = false;
    explicit Worker(int level) {
        if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("zlib: deflateInit2 failed");
        ready = true;
    }
    ~Worker() {
        if (ready) deflateEnd(&zs);
    }
    void Compress(Block& b) {
        b.crc = static_cast<uint32_t>(crc32(0L, b.in.data(), static_cast<uInt>(b.in.size())));
        if (deflateReset(&zs) != Z_OK) {
            b.error = "zlib: deflateReset failed";
            return;
        }
        if (!b.dict.empty() &&
            deflateSetDictionary(&zs, b.dict.data(), static_cast<uInt>(b.dict.size())) != Z_OK) {
            b.error = "zlib: deflateSetDictionary failed";
            return;
        }
        b.out.resize(deflateBound(&zs, static_cast<uLong>(b.in.size())) + 64);
        zs.next_in = b.in.data();
        zs.avail_in = static_cast<uInt>(b.in.size());
        zs.next_out = b.out.data();
        zs.avail_out = static_cast<uInt>(b.out.size());
        const int flush = b.last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            int rc = deflate(&zs, flush);
            if (rc == Z_STREAM_END) break;
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                b.error = "zlib: deflate failed";
                return;
            }
            if (!b.last && zs.avail_in == 0 && zs.avail_out > 0) break;  // flushed
            if (zs.avail_out == 0) {  // never expected given deflateBound, but be safe
                size_t used = b.out.size();
                b.out.resize(used * 2);
                zs.next_out = b.out.data() + used;
                zs.avail_out = static_cast<uInt>(b.out.size() - used);
            }
        }
        b.out.resize(b.out.size() - zs.avail_out);
    }
};

CParallelDeflater::CParallelDeflater(int level, unsigned threads, size_t blockSize)
    : level_(level), threads_(threads), blockSize_(std::max<size_t>(blockSize, 64 * 1024)) {
    if (threads_ == 0) threads_ = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < threads_; ++i) workers_.push_back(std::make_unique<Worker>(level_));
}

CParallelDeflater::~CParallelDeflater() = default;

void CParallelDeflater::BeginStream(IDeflateSink* sink) {
    if (sink_) throw std::logic_error("CParallelDeflater: previous stream not ended");
    sink_ = sink;
    current_ = std::make_unique<Block>();
    current_->sink = sink;
    current_->first = true;
    current_->in.reserve(blockSize_);
}

void CParallelDeflater::Write(const void* data, size_t size) {
    if (!sink_) throw std::logic_error("CParallelDeflater: no stream");
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        size_t room = blockSize_ - current_->in.size();
        size_t n = std::min(room, size);
        current_->in.insert(current_->in.end(), p, p + n);
        p += n;
        size -= n;
        if (current_->in.size() == blockSize_) QueueCurrent(false);
    }
}

void CParallelDeflater::EndStream() {
    if (!sink_) throw std::logic_error("CParallelDeflater: no stream");
    QueueCurrent(true);
    sink_ = nullptr;
}

void CParallelDeflater::QueueCurrent(bool last) {
    std::unique_ptr<Block> done = std::move(current_);
    done->last = last;
    if (!last) {
        current_ = std::make_unique<Block>();
        current_->sink = done->sink;
        size_t keep = std::min(kDictSize, done->in.size());
        current_->dict.assign(done->in.end() - static_cast<std::ptrdiff_t>(keep), done->in.end());
        current_->in.reserve(blockSize_);
    }
    batch_.push_back(std::move(done));
    if (batch_.size() >= 2 * threads_) RunBatch();
}

void CParallelDeflater::Flush() { RunBatch(); }

void CParallelDeflater::RunBatch() {
    if (batch_.empty()) return;
    std::atomic<size_t> next{0};
    auto work = [&](Worker* w) {
        for (size_t i; (i = next.fetch_add(1)) < batch_.size();) {
            try {
                w->Compress(*batch_[i]);
            } catch (const std::exception& e) {  // out of memory: reported below, on the caller's thread
                batch_[i]->error = e.what();
            }
        }
    };
    std::vector<std::thread> helpers;
    const size_t extra = std::min<size_t>(threads_ - 1, batch_.size() - 1);
    for (size_t t = 0; t < extra; ++t) helpers.emplace_back(work, workers_[t + 1].get());
    work(workers_[0].get());
    for (std::thread& t : helpers) t.join();

    std::vector<std::unique_ptr<Block>> blocks = std::move(batch_);
    batch_.clear();
    for (auto& b : blocks) {
        if (!b->error.empty()) throw std::runtime_error(b->error);
        if (b->first) {
            deliverCrc_ = 0;
            deliverSize_ = 0;
        }
        deliverCrc_ = static_cast<uint32_t>(crc32_combine(deliverCrc_, b->crc, static_cast<z_off_t>(b->in.size())));
        deliverSize_ += b->in.size();
        b->sink->OnCompressed(b->out.data(), b->out.size());
        if (b->last) b->sink->OnStreamEnd(deliverCrc_, deliverSize_);
    }
}
