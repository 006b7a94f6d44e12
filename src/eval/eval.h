// The static evaluation by game phase: driver, material, pawns, king safety, piece terms, tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/board.h"

// The score scale: centipawns for the side to move; nothing reaches SCORE_INF, and the search
// counts its mate scores down from it.
constexpr int SCORE_INF = 32767;

// Phases by the material of both sides, pawns included: above the first bound the middlegame,
// below the second the endgame, the transition between them blends the two.
constexpr int MIDDLEGAME_MATERIAL = 4020;
constexpr int ENDGAME_MATERIAL = 3035;

constexpr int KING_ATTACK_MAX_COUNT = 26;  // largest king-zone count the attack rules can reach

// --- The cache (eval_cache.cpp) ---------------------------------------------------------------
// Table sizes are given in megabytes, from 1 to MAX_TABLE_MEGABYTES.
constexpr int MAX_TABLE_MEGABYTES = 4095;
constexpr bool table_megabytes_valid(int megabytes) { return megabytes >= 1 && megabytes <= MAX_TABLE_MEGABYTES; }
constexpr uint64_t MEGABYTE = uint64_t{1} << 20;
// The slots a table sized in megabytes holds at a setting's bytes per slot (the hash table's and
// the cache's); the product is taken in 64 bits, and the caller keeps it within 32.
constexpr uint32_t slots_for_megabytes(int megabytes, uint64_t bytes_per_slot) {
    return static_cast<uint32_t>(static_cast<uint64_t>(megabytes) * MEGABYTE / bytes_per_slot);
}

// The setting's bytes per slot: twice a slot's size, so that every setting keeps the slot count it
// has always had and the cache takes half the setting's memory. With the slot's own size (8) the
// cache would hold twice the slots: more hits, but other entries would survive from one search to
// the next (their trade-down term is the old root's), and games would be played differently.
constexpr uint32_t ECACHE_SETTING_BYTES_PER_SLOT = 16;
constexpr int DEFAULT_ECACHE_MB = 4;
constexpr uint32_t DEFAULT_ECACHE_ENTRIES = slots_for_megabytes(DEFAULT_ECACHE_MB, ECACHE_SETTING_BYTES_PER_SLOT);
// Fewest slots a cache may have: with at least 2^16, two keys that share a slot differ in their
// top 48 bits, which is all a slot keeps of its key.
constexpr uint32_t MIN_ECACHE_ENTRIES = 1u << 16;

// A key's slot among a table's slots: key % slots, found by multiplication, because a 64-bit
// division on every probe is slow on many processors. Exact for every key and slot count.
class SlotIndex {
public:
    explicit SlotIndex(uint32_t slots = 1);
    uint32_t of(uint64_t key) const {
#if defined(__SIZEOF_INT128__)
        // key / slots to 128 fractional bits; that fraction times slots is the remainder.
        const unsigned __int128 fraction = inverse_ * key;
        const unsigned __int128 low = static_cast<unsigned __int128>(static_cast<uint64_t>(fraction)) * slots_;
        const unsigned __int128 high = static_cast<unsigned __int128>(static_cast<uint64_t>(fraction >> 64)) * slots_;
        return static_cast<uint32_t>((high + (low >> 64)) >> 64);
#else
        return static_cast<uint32_t>(key % slots_);
#endif
    }

private:
    uint32_t slots_;
#if defined(__SIZEOF_INT128__)
    unsigned __int128 inverse_;  // 2^128 / slots, rounded up
#endif
};

// One 8-byte word: the key's top 48 bits above its score, stored as uint16(score) ^ 0x8000 so that
// a cleared slot (zero) reads as -32768, a score no evaluation gives: it never hits.
struct EvalCacheEntry {
    static constexpr uint64_t KEY_BITS = ~uint64_t{0xffff};
    static constexpr int MIN_SCORE = -32767;  // the scores a slot can hold
    static constexpr int MAX_SCORE = 32767;

    uint64_t word;

    bool holds(uint64_t key) const { return ((word ^ key) & KEY_BITS) == 0 && (word & 0xffff) != 0; }
    int score() const { return static_cast<int16_t>(static_cast<uint16_t>(word) ^ 0x8000); }
    // A score the slot cannot hold empties it: the next probe evaluates again, as it should.
    void store(uint64_t key, int score) {
        word = score < MIN_SCORE || score > MAX_SCORE
                   ? 0
                   : (key & KEY_BITS) | (static_cast<uint16_t>(score) ^ 0x8000u);
    }
};

// The size setting every thread's cache is made with (the shell sets it; the caches follow at
// their next allocation).
extern uint32_t ecache_entries;     // slots; at least MIN_ECACHE_ENTRIES when allocated
extern int ecache_mb;               // the size the cache was given, for messages

uint32_t ecache_entries_for_mb(int megabytes);  // (N x 2^20) / ECACHE_SETTING_BYTES_PER_SLOT; the default outside the range
bool set_ecache_mb(int megabytes);              // false (and nothing changed) outside the range

// One thread's evaluation cache. Without a table every evaluation is made in full.
class EvalCache {
public:
    EvalCache() = default;
    ~EvalCache() { release(); }
    EvalCache(const EvalCache&) = delete;
    EvalCache& operator=(const EvalCache&) = delete;

    bool allocate(uint32_t entries);  // a new, empty table; false (and no table) without memory
    // The table probed from now on, owned by the caller; one of fewer than MIN_ECACHE_ENTRIES
    // slots is refused (no cache).
    void use(EvalCacheEntry* table, uint32_t entries);
    void release();
    void clear();
    bool present() const { return table_ != nullptr; }
    uint32_t entries() const { return entries_; }
    EvalCacheEntry* slot(uint64_t key) const { return &table_[index_.of(key)]; }  // the table must be there

private:
    EvalCacheEntry* table_ = nullptr;
    uint32_t entries_ = 0;
    SlotIndex index_;
    size_t allocated_bytes_ = 0;  // 0: the table is the caller's
};

struct PawnCacheEntry;  // pieces.cpp
size_t pawn_cache_bytes();  // what each evaluator's pawn structure cache takes: a fixed size

// One search thread's evaluator: the position it evaluates, the inputs its search sets, its
// working tables and its caches. A thread owns its own, so nothing in it is shared.
struct Evaluator {
    explicit Evaluator(const Position& position);
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    const Position& pos;  // the owner's position, evaluated as it stands

    // Inputs set by the search.
    int lazy_eval = 0;                 // lazy exits allowed
    int root_piece_material[2] = {};   // the root position's material, by Color: the trade-down
    int root_pawn_material[2] = {};    // term compares with it

    EvalCache cache;             // final scores by key
    PawnCacheEntry* pawn_cache;  // pawn structures by their pawns: scores, ranks and shelters

    // Working state of one evaluation.
    int white_score = 0, black_score = 0;
    int white_mg = 0, black_mg = 0, white_eg = 0, black_eg = 0;
    int8_t pawn_rank[2][10] = {};      // by Color and file + 1: row of that colour's rearmost pawn
    int bishop_square_colour[2] = {};  // square_colour of the last bishop visited, by Color
    uint64_t piece_attacks[2] = {};    // by Color: squares its knights, bishops, rooks and queens attack
};

void set_root_material(Evaluator& e);  // takes it from the evaluator's position

// --- Driver ----------------------------------------------------------------------------------
int  evaluate(Evaluator& e, int alpha, int beta);  // score for the side to move
void build_working_tables(Evaluator& e);         // pawn_rank from the board
void find_pawn_ranks(Evaluator& e, int8_t rank[2][10]);  // the pawn_rank of the board's pawns, into rank

// --- Pawn structure (pawns.cpp): the structure score of the pawn on sq for its own side ------
int pawn_terms_white(Evaluator& e, int sq);
int pawn_terms_black(Evaluator& e, int sq);
int pawn_terms_white_endgame(Evaluator& e, int sq);
int pawn_terms_black_endgame(Evaluator& e, int sq);
// The endgame terms split for the pawn structure cache: those that read nothing but the pawns,
// and the passed pawn's own (flagged by the first), which read the kings and pieces too.
int pawn_structure_terms_endgame(Evaluator& e, int colour, int sq, bool* passed);
int passed_pawn_terms_endgame(Evaluator& e, int colour, int sq);

// --- King safety (king_safety.cpp) -----------------------------------------------------------
void king_attack_terms(Evaluator& e);                    // king-zone attacks, paid to the attacker; after a
                                             // piece loop, whose piece_attacks it reads
int  king_terms_middlegame(Evaluator& e, int colour);      // square value, wing bonus, shelter and storm
int  king_terms_middlegame(Evaluator& e, int colour, int shelter);  // the same, with king_shelter found before
int  king_shelter(Evaluator& e, int colour, int file);     // shelter and storm of a king on the file: pawns only
int  king_terms_endgame(Evaluator& e, int colour);         // the endgame square value

// --- Piece terms and the per-piece loops (pieces.cpp); the loops also fill piece_attacks ------
void reset_working_tables(Evaluator& e);   // what build_working_tables does, pawn_rank from the pawn structure cache
void piece_terms_middlegame(Evaluator& e);
void piece_terms_transition(Evaluator& e);
void piece_terms_endgame(Evaluator& e);
int  square_terms_middlegame(Evaluator& e, int sq);  // the middlegame-loop terms of the piece on sq, for its owner
int  square_terms_endgame(Evaluator& e, int sq);     // the endgame-loop terms of the piece on sq, for its owner
int  knight_mobility_count(Evaluator& e, int sq);  // empty squares reached, for each piece kind
int  bishop_mobility_count(Evaluator& e, int sq);
int  rook_mobility_count(Evaluator& e, int sq);
int  queen_mobility(Evaluator& e, int sq);

// --- Tables (tables.cpp); *_white tables are read by black at flip[sq] -----------------------
extern const int bishop_pair_bonus[17];
extern const int bishop_pawn_penalty[9];
extern const int pawn_table_white[64];
extern const int doubled_penalty[64];
inline constexpr const auto& isolated_penalty = doubled_penalty;  // isolated pawns cost what doubled ones do
extern const int backward_penalty[64];
extern const int side_by_side_white[64];
extern const int passed_factor[9];
extern const int king_zone_base_white[64];
extern const int king_attack_table[KING_ATTACK_MAX_COUNT + 1];
extern const int king_table_mg_white[64];
extern const int king_table_eg[64];
extern const int knight_table_mg_white[64];
extern const int knight_table_eg[64];
extern const int bishop_table_mg_white[64];
extern const int bishop_table_eg[64];
extern const int rook_table[64];
extern const int queen_table_mg_white[64];
extern const int queen_table_eg[64];
extern const int knight_outpost_white[64];
extern const int knight_mobility[9];
extern const int bishop_mobility[14];
extern const int rook_mobility_mg[15];
extern const int rook_mobility_eg[15];
extern const int queen_mobility_mg[28];
extern const int queen_mobility_eg[28];
extern const int knight_closeness[8];
extern const int rook_closeness[8];
extern const int queen_closeness[8];
extern const int knight_by_pawns[9];
extern const int rook_by_pawns[9];
