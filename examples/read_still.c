/* Reads a still picture (or a video) with libkalvero and prints the number
 * of every carriage pass in it, one a line.
 *
 *   cc read_still.c $(pkg-config --cflags --libs kalvero) -o read_still
 *   ./read_still carriage.png
 */
#include <stdio.h>

#include <kalvero/kalvero.h>

static int print_pass(const kalvero_pass* pass, void* user_data) {
    (void)user_data;
    printf("%s\n", kalvero_pass_number(pass));
    return 0; /* go on */
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PICTURE\n", argv[0]);
        return 2;
    }
    kalvero_callbacks callbacks = {NULL, print_pass};
    /* NULL options: the learned engine, the whole frame, the check digit. */
    if (kalvero_read_file(argv[1], NULL, &callbacks, NULL) != KALVERO_OK) {
        fprintf(stderr, "read_still: %s\n", kalvero_last_error());
        return 1;
    }
    return 0;
}
