// Raw deflate (as ZIP entries hold it) on several threads. The input of a
// stream is cut into blocks; every block is compressed on its own with the
// 32 KiB of input before it as its dictionary, and all but the last end with
// a sync flush, so the concatenated output is one valid deflate stream of
// nearly the same size as a single-threaded one (the technique of parallel
// gzip compressors). The CRC-32 of the input is combined from the blocks.
//
// Blocks of successive streams are compressed in the same batch, so many
// small streams (one small file per archive) keep the threads busy too.
// Compressed output is delivered to each stream's sink on the calling
// thread, in order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IDeflateSink {
public:
    virtual ~IDeflateSink() = default;
    virtual void OnCompressed(const void* data, size_t size) = 0;
    // The stream is complete: CRC-32 and size of its uncompressed input.
    virtual void OnStreamEnd(uint32_t crc32, uint64_t size) = 0;
};

class CParallelDeflater {
public:
    // level: zlib level 0..9; threads: 0 = one per processor; blockSize:
    // input bytes per block.
    explicit CParallelDeflater(int level = 6, unsigned threads = 0, size_t blockSize = 1 << 20);
    ~CParallelDeflater();
    CParallelDeflater(const CParallelDeflater&) = delete;
    CParallelDeflater& operator=(const CParallelDeflater&) = delete;

    // Starts a stream whose output goes to sink (which must live until its
    // OnStreamEnd). The previous stream must have been ended.
    void BeginStream(IDeflateSink* sink);
    void Write(const void* data, size_t size);
    void EndStream();
    // Compresses and delivers everything written so far (call at the end).
    void Flush();

private:
    struct Block;
    struct Worker;
    void QueueCurrent(bool last);
    void RunBatch();

    int level_;
    unsigned threads_;
    size_t blockSize_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::unique_ptr<Block>> batch_;
    std::unique_ptr<Block> current_;
    IDeflateSink* sink_ = nullptr;
    bool firstBlock_ = false;
    // Delivery state of the stream being delivered.
    uint32_t deliverCrc_ = 0;
    uint64_t deliverSize_ = 0;
};
