/* A network link in user space for the benchmarks: one TUN device in each of
 * two network namespaces, and every packet read from one written to the other
 * after the link has had its way with it: a fixed rate (each packet
 * occupies the line for its size divided by the rate, so there are no
 * bursts above it), a fixed one-way delay, random loss, and a drop-tail queue of a set
 * number of bytes in front of the line. Both directions alike.
 *
 *   link_forwarder NETNS_A NETNS_B DEVICE RATE_BIT_S DELAY_US LOSS_PPM QUEUE_BYTES SEED
 *
 * NETNS_A and NETNS_B are paths of named namespaces (/run/netns/NAME); the
 * device gets the same name in both. It prints "ready" once both devices
 * exist, and on SIGTERM or SIGINT prints its counters and ends; the devices
 * go with it. It ends too when its parent does. Linux only. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

enum { SLOT_BYTES = 2048, SLOTS = 4096, READ_BATCH = 64 };

struct packet {
    int64_t due_ns;
    int len;
    unsigned char data[SLOT_BYTES];
};

struct direction {
    const char *name;
    int in_fd, out_fd;
    struct packet *ring;
    size_t head, count;
    int64_t line_free_ns; /* when the packet last queued has left the line */
    uint64_t passed, lost, queue_drops, bytes;
};

struct settings {
    int64_t rate_bit_s, delay_ns, queue_bytes;
    uint32_t loss_ppm;
};

static volatile sig_atomic_t stopping;
static uint64_t rng_state;

static void on_signal(int sig) { (void)sig; stopping = 1; }

static int64_t now_ns(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static uint32_t next_random(void)
{
    rng_state ^= rng_state << 13;
    rng_state ^= rng_state >> 7;
    rng_state ^= rng_state << 17;
    return (uint32_t)(rng_state >> 32);
}

static int open_tun_in(const char *netns_path, const char *device)
{
    int ns = open(netns_path, O_RDONLY | O_CLOEXEC);
    if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
        fprintf(stderr, "link: cannot enter %s: %s\n", netns_path, strerror(errno));
        return -1;
    }
    close(ns);
    int fd = open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "link: /dev/net/tun: %s\n", strerror(errno));
        return -1;
    }
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    ifr.ifr_flags = IFF_TUN | IFF_NO_PI;
    snprintf(ifr.ifr_name, IFNAMSIZ, "%s", device);
    if (ioctl(fd, TUNSETIFF, &ifr) != 0) {
        fprintf(stderr, "link: TUNSETIFF %s in %s: %s\n", device, netns_path, strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

/* A packet arrives at the link: lost, dropped at a full queue, or queued
 * behind the packets already waiting for the line. */
static void arrive(struct direction *d, const struct settings *s, int64_t now)
{
    struct packet *p = &d->ring[(d->head + d->count) % SLOTS];
    if (s->loss_ppm && next_random() % 1000000 < s->loss_ppm) {
        d->lost++;
        return;
    }
    int64_t waiting_ns = d->line_free_ns > now ? d->line_free_ns - now : 0;
    int64_t backlog = waiting_ns * s->rate_bit_s / 8000000000LL;
    if (backlog + p->len > s->queue_bytes) {
        d->queue_drops++;
        return;
    }
    int64_t start = d->line_free_ns > now ? d->line_free_ns : now;
    d->line_free_ns = start + (int64_t)p->len * 8000000000LL / s->rate_bit_s;
    p->due_ns = d->line_free_ns + s->delay_ns;
    d->count++;
}

static void read_packets(struct direction *d, const struct settings *s)
{
    static unsigned char scratch[SLOT_BYTES];
    for (int i = 0; i < READ_BATCH; i++) {
        if (d->count == SLOTS) { /* more in flight than the ring holds: the queue is full */
            if (read(d->in_fd, scratch, sizeof scratch) <= 0)
                return;
            d->queue_drops++;
            continue;
        }
        struct packet *p = &d->ring[(d->head + d->count) % SLOTS];
        ssize_t n = read(d->in_fd, p->data, SLOT_BYTES);
        if (n <= 0)
            return;
        p->len = (int)n;
        arrive(d, s, now_ns());
    }
}

static void deliver_due(struct direction *d, int64_t now)
{
    while (d->count && d->ring[d->head].due_ns <= now) {
        struct packet *p = &d->ring[d->head];
        if (write(d->out_fd, p->data, (size_t)p->len) == p->len) {
            d->passed++;
            d->bytes += (uint64_t)p->len;
        }
        d->head = (d->head + 1) % SLOTS;
        d->count--;
    }
}

static void report(const struct direction *d)
{
    fprintf(stderr, "link %s: passed %llu packets (%llu bytes), lost %llu, dropped at the full queue %llu\n",
            d->name, (unsigned long long)d->passed, (unsigned long long)d->bytes, (unsigned long long)d->lost,
            (unsigned long long)d->queue_drops);
}

int main(int argc, char **argv)
{
    if (argc != 9) {
        fprintf(stderr, "usage: %s NETNS_A NETNS_B DEVICE RATE_BIT_S DELAY_US LOSS_PPM QUEUE_BYTES SEED\n", argv[0]);
        return 2;
    }
    struct settings s = {
        .rate_bit_s = atoll(argv[4]),
        .delay_ns = atoll(argv[5]) * 1000,
        .queue_bytes = atoll(argv[7]),
        .loss_ppm = (uint32_t)atol(argv[6]),
    };
    rng_state = (uint64_t)atoll(argv[8]) * 0x9E3779B97F4A7C15ULL | 1;
    if (s.rate_bit_s <= 0 || s.delay_ns < 0 || s.queue_bytes <= 0 || s.loss_ppm > 1000000) {
        fprintf(stderr, "link: rate and queue must be positive, delay not negative, loss at most 1000000 ppm\n");
        return 2;
    }
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    /* Timer slack would bunch the packets that leave the line, and a busy
     * machine would stretch the delay: a real link waits for nobody. */
    prctl(PR_SET_TIMERSLACK, 1UL);
    struct sched_param rt = {.sched_priority = 20};
    sched_setscheduler(0, SCHED_FIFO, &rt);

    int home = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    int fd_a = open_tun_in(argv[1], argv[3]);
    int fd_b = fd_a < 0 ? -1 : open_tun_in(argv[2], argv[3]);
    if (fd_b < 0)
        return 1;
    if (home >= 0)
        setns(home, CLONE_NEWNET);

    struct direction dirs[2] = {
        {.name = "a->b", .in_fd = fd_a, .out_fd = fd_b},
        {.name = "b->a", .in_fd = fd_b, .out_fd = fd_a},
    };
    for (int i = 0; i < 2; i++) {
        dirs[i].ring = calloc(SLOTS, sizeof(struct packet));
        if (!dirs[i].ring) {
            fprintf(stderr, "link: out of memory\n");
            return 1;
        }
    }
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);
    printf("ready\n");
    fflush(stdout);

    while (!stopping) {
        int64_t now = now_ns();
        int64_t next = -1;
        for (int i = 0; i < 2; i++) {
            if (dirs[i].count && (next < 0 || dirs[i].ring[dirs[i].head].due_ns < next))
                next = dirs[i].ring[dirs[i].head].due_ns;
        }
        struct timespec wait = {1, 0};
        if (next >= 0) {
            int64_t left = next > now ? next - now : 0;
            wait.tv_sec = left / 1000000000;
            wait.tv_nsec = left % 1000000000;
        }
        struct pollfd fds[2] = {{.fd = fd_a, .events = POLLIN}, {.fd = fd_b, .events = POLLIN}};
        int ready = ppoll(fds, 2, &wait, NULL);
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; ready > 0 && i < 2; i++) {
            if (fds[i].revents & POLLIN)
                read_packets(&dirs[i], &s);
        }
        now = now_ns();
        for (int i = 0; i < 2; i++)
            deliver_due(&dirs[i], now);
    }
    report(&dirs[0]);
    report(&dirs[1]);
    return 0;
}
