/* A C caller of librumo: plays 32-28 19-23 on board "7" and prints the game's PDN. Built against
 * the header alone, it shows that rumo.h and the library serve a plain C program. */
#include <stdio.h>
#include <stdlib.h>

#include "rumo.h"

int main(void)
{
    const char* start = "BBBBBBBBBBBBBBBBBBBB__________PPPPPPPPPPPPPPPPPPPP";
    void* map = create_rumo_game_map();
    if (map == NULL)
        return 1;
    reset_game(map, "7", start, 12.5, "1:30:00", "1:30:00", "round", "white", "black", false);
    /* Squares 32, 28, 19 and 23 have the codes "I", "M", "V" and "R". */
    update_game_events(map, "7", "I_", 20, "1:29:52", "1:30:00");
    update_game_events(map, "7", "I_MP", 21, "1:29:50", "1:30:00");
    update_game_events(map, "7", "I_MPV_RB", 30, "1:29:50", "1:29:40");

    char pdn[4096];
    int complete = 0;
    int length = reconstruct_game(map, "7", 40, (int)sizeof pdn, pdn, &complete);
    destroy_rumo_game_map(map);
    if (length < 0 || length >= (int)sizeof pdn)
        return 1;
    fwrite(pdn, 1, (size_t)length, stdout);
    printf("\ncomplete %d\n", complete);
    return EXIT_SUCCESS;
}
