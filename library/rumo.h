/* librumo: reconstructs international draughts games from e-board square changes.
 *
 * Usable from C and C++. Texts are NUL-terminated byte strings; times are seconds on the
 * caller's clock. The library keeps no locks: make one call at a time.
 * A caller error (null handle, null board id, null text) is refused with an "Error: " line on
 * standard error and leaves every game as it was; no function lets an exception escape.
 */
#ifndef RUMO_H
#define RUMO_H

#include <stdbool.h>

#ifdef __cplusplus
#include <ostream>
extern "C" {
#endif

/* A new, empty map of games keyed by board id; release it with destroy_rumo_game_map. */
void* create_rumo_game_map(void);

/* Destroys the map and all its games. A null handle only writes the trace line. */
void destroy_rumo_game_map(void* map);

/* Starts a new game on the board: reads "ebs.config", then takes the start position (50 squares,
 * "P"/"B" men, "p"/"b" kings, anything else empty) and the two clock texts. The three further
 * texts are only logged. With reversed, the position runs from square 50 to square 1. */
void reset_game(void* map, const char* board_id, const char* position, double time,
                const char* white_clock, const char* black_clock, const char* text1,
                const char* text2, const char* text3, bool reversed);

/* Takes the board's cumulative event code text (two characters per square change) with its
 * time and clock texts. A text that does not continue the previous one is refused. */
void update_game_events(void* map, const char* board_id, const char* event_codes, double time,
                        const char* first_clock, const char* second_clock);

/* Advances the reconstruction to the time and returns the length of the game's PDN text. When the
 * length is below buffer_size, the text is copied (without NUL) and *complete is 1 if every square
 * change is explained; otherwise nothing is copied and *complete is 0. A negative size or a null
 * buffer counts as size 0; complete may be null. Returns -1 for a null handle or board id. */
int reconstruct_game(void* map, const char* board_id, double time, int buffer_size, char* buffer,
                     int* complete);

/* Enciphers length bytes in place, padded with LF to a multiple of 8 (the buffer must hold the
 * padded length); returns that length. Returns -1 for a negative length or a null buffer. */
int set_white(char* buffer, int length);

/* Deciphers the whole 8-byte blocks of the buffer in place (a short tail stays as it is) and
 * returns length. Returns -1 for a negative length or a null buffer. */
int set_black(char* buffer, int length);

#ifdef __cplusplus
}

/* The library's log stream (C++ linkage, so it never shadows the C library's log). */
std::ostream& log();
#endif

#endif
