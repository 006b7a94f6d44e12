// Temporary stand-ins until the board is written; delete each as the real one lands.
#include "board/board.h"

Position pos;
HistoryEntry game_history[MAX_GAME_PLY];
char Variant[VARIANT_TEXT_SIZE] = "normal";
int variant_kind = VARIANT_NORMAL;
uint64_t zobrist_piece[768];
uint64_t zobrist_side[2];
uint64_t zobrist_ep[64];
uint64_t zobrist_castle[16];
const int piece_value[7] = {100, 315, 320, 500, 950, 32767, 0};
int distance[64][64];
const int flip[64] = {};
void init_hash_keys() {}
uint32_t random32() { return 0; }
uint64_t compute_hash_key() { return 0; }
void set_variant(const char*) {}
bool setup_position(const char*) { return false; }
int generate_moves(Move*) { return 0; }
int gen_captures(Move*) { return 0; }
int is_bad_capture(int, int) { return 0; }
int make_move(Move) { return 0; }
void unmake_move() {}
int count_legal_moves() { return 0; }
int is_attacked(int, int) { return 0; }
int in_check(int) { return 0; }
bool position_is_ok() { return true; }
