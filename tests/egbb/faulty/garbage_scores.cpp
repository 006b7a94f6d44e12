// Test-only bitbase library with both entries whose probe answers scores no bitbase can give.
extern "C" __attribute__((visibility("default"))) void load_egbb_5men(const char*, int, int) {}

extern "C" __attribute__((visibility("default"))) int probe_egbb_5men(int player, int white_king, int black_king,
                                                                      int, int square1, int, int, int, int) {
    // Mostly far outside any score, in both directions and at the integer's ends; sometimes a
    // score that looks sound and is simply wrong.
    static const int garbage[] = {2147483647, -2147483647 - 1, 32767, -32767, 1000000, -40000, 31999, -777};
    unsigned mix = static_cast<unsigned>(player * 7 + white_king * 13 + black_king * 31 + square1 * 3);
    return garbage[mix % 8];
}
