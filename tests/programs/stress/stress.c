/* The threads stress Program: eight workers loop, with random pauses, over
 * what games do off the main thread (bitmaps and sequences, cache modes,
 * sounds and music, fonts and measuring, file lists and pak reads, HTTP
 * requests with cancel, log lines and popups, named mutexes, the main-loop
 * lock) while the main thread draws everything that is loaded, reads the
 * progress of running downloads, cancels some of them and asks every second
 * for a new resolution that restarts the renderer.
 *
 * Command line: "seconds=N" (run time, default 10), "http_port=P" (the
 * loopback server; 0: no HTTP). The game folder holds what the end-to-end
 * case makes: img/{red,green,blue,big}.png, seq/walk000N.png, anim.bms,
 * sfx/{blip,tone}.wav, music/loop.ogg, fonts/stress.mft.xml with its
 * outline font, content.pak with data/fileN.txt.
 *
 * Every counted get is paired with a release, so at the end every count is
 * what the Program still holds: 1 for a record some worker asked for with
 * Get* (held for the record's life), else 0. Trace lines: "steps W N" and
 * "logged W N" per worker, "balanced 1", "errors 0", "mutex-total N",
 * "gotten N" (records released once more in Shutdown), "done 1". */
#include <stdatomic.h>

#include "../test_program.h"
#include "vozer_soundimp.h"

#define WORKERS 8
#define HELD_MAX 6
#define PAK_FILES 6

static VozerProgramRecord* program;
static VozerEngineApi* zt;

static const char* const BITMAPS[] = {"img/red", "img/green", "img/blue", "img/big", "anim", "seq/walk*.png"};
#define BITMAP_COUNT (int)(sizeof BITMAPS / sizeof BITMAPS[0])
static const char* const SOUNDS[] = {"sfx/blip", "sfx/tone", "music/loop"};
#define SOUND_COUNT (int)(sizeof SOUNDS / sizeof SOUNDS[0])
static const char* const FONTS[] = {"fonts/stress.mft"};
#define FONT_COUNT (int)(sizeof FONTS / sizeof FONTS[0])

/* Which records a worker counted with Get* (they hold one reference for life). */
static atomic_int bitmapGotten[BITMAP_COUNT], soundGotten[SOUND_COUNT], fontGotten[FONT_COUNT];

static atomic_int stopping, finished, errors;
static long runMs = 10000;
static long httpPort;
static uint32_t startMs, lastReinitMs;
static int reinitCount;
static VozerBitmap* target;
static VozerFont* mainFont;
static volatile unsigned progressSink;

/* The counter that the named mutex guards: a plain int on purpose. */
static int mutexCounter;
static atomic_long mutexIncrements;

/* Downloads in flight, one per worker, watched and sometimes cancelled by the main thread. */
typedef struct Download {
    VozerMutex* lock; /* the record may be read while the request runs, but not while it is freed */
    VozerBuffer response;
    volatile int32_t cancel;
    atomic_int running;
    atomic_uint startedMs;
} Download;
static Download downloads[WORKERS];

typedef struct Worker {
    int index;
    uint32_t seed;
    long steps, logged;
    VozerBitmap* bitmaps[HELD_MAX];
    VozerSound* sounds[HELD_MAX];
    VozerFont* fonts[HELD_MAX];
    int bitmapCount, soundCount, fontCount;
} Worker;
static Worker workers[WORKERS];

static uint32_t nextRandom(Worker* w) {
    w->seed ^= w->seed << 13;
    w->seed ^= w->seed >> 17;
    w->seed ^= w->seed << 5;
    return w->seed;
}

static void failure(Worker* w, const char* what) {
    atomic_fetch_add(&errors, 1);
    zt->Log(VZ_ERROR, "stress worker %d: %s", w->index, what);
}

/* The bytes of data/fileN.txt in content.pak, as the case writes them. */
static int pakByte(int file, int at) { return 'a' + (at * 7 + file) % 26; }
static int pakSize(int file) { return 1000 + file * 37; }

static void readFromPak(Worker* w) {
    const int file = (int)(nextRandom(w) % PAK_FILES);
    char name[64];
    char buffer[2048];
    int32_t got, i;
    VozerFile* handle;
    sprintf(name, "data/file%d.txt", file);
    handle = zt->OpenFile(name, "r");
    if (!handle) {
        failure(w, "a pak entry did not open");
        return;
    }
    got = zt->ReadFile(buffer, (int32_t)sizeof buffer, handle);
    zt->CloseFile(handle);
    if (got != pakSize(file)) {
        failure(w, "a pak entry had the wrong size");
        return;
    }
    for (i = 0; i < got; ++i) {
        if ((unsigned char)buffer[i] != pakByte(file, i)) {
            failure(w, "a pak entry had wrong bytes");
            return;
        }
    }
}

static void listFiles(Worker* w) {
    VozerFileList list;
    memset(&list, 0, sizeof list);
    if (!zt->FindFiles(&list, "data", "*.txt", 0) || list.count != PAK_FILES) failure(w, "FindFiles missed pak entries");
    zt->FreeFileList(&list);
}

static void request(Worker* w) {
    Download* d = &downloads[w->index];
    char url[128];
    int32_t result;
    const int big = nextRandom(w) % 3 == 0;
    if (!httpPort) return;
    sprintf(url, "http://127.0.0.1:%ld/%s", httpPort, big ? "big.bin" : "small.txt");
    __atomic_store_n(&d->cancel, 0, __ATOMIC_RELAXED);
    atomic_store(&d->startedMs, zt->GetTime());
    atomic_store(&d->running, 1);
    result = zt->HttpRequest(VZ_HTTP_GET, url, NULL, NULL, 0, &d->response, &d->cancel);
    atomic_store(&d->running, 0);
    if (result == VZ_HTTP_OK && !big &&
        (__atomic_load_n(&d->response.size, __ATOMIC_ACQUIRE) != 12 || memcmp(d->response.data, "small answer", 12) != 0))
        failure(w, "the small download came back wrong");
    if (result != VZ_HTTP_OK && result != VZ_HTTP_CANCELLED) failure(w, "a download failed");
    zt->LockMutex(d->lock);
    zt->FreeBuffer(&d->response);
    zt->UnlockMutex(d->lock);
}

static void bitmapStep(Worker* w, uint32_t r) {
    const int which = (int)(nextRandom(w) % BITMAP_COUNT);
    VozerBitmap* b;
    switch (r % 6) {
    case 0: /* a counted get */
        if (w->bitmapCount < HELD_MAX) {
            b = zt->LoadBitmap(BITMAPS[which], VZ_CACHE_HARDWARE | (nextRandom(w) % 2 ? VZ_CACHE_SYSTEM : 0));
            if (b) w->bitmaps[w->bitmapCount++] = b;
            else failure(w, "LoadBitmap gave null");
        }
        break;
    case 1: /* the once-counted get */
        if (zt->GetBitmap(BITMAPS[which])) atomic_store(&bitmapGotten[which], 1);
        break;
    case 2: /* a release, which hibernates the last reference */
        if (w->bitmapCount > 0) zt->ReleaseBitmap(w->bitmaps[--w->bitmapCount]);
        break;
    case 3:
        if (w->bitmapCount > 0) {
            b = w->bitmaps[nextRandom(w) % (uint32_t)w->bitmapCount];
            zt->SetBitmapFrame(b, (int32_t)(nextRandom(w) % 8));
        }
        break;
    case 4:
        if (w->bitmapCount > 0) {
            static const int32_t MODES[] = {VZ_CACHE_NOTHING, VZ_CACHE_SYSTEM, VZ_CACHE_HARDWARE,
                                            VZ_CACHE_SYSTEM | VZ_CACHE_HARDWARE};
            zt->SetBitmapCacheMode(w->bitmaps[nextRandom(w) % (uint32_t)w->bitmapCount], MODES[nextRandom(w) % 4]);
        }
        break;
    default:
        if (w->bitmapCount > 0) zt->RefreshBitmap(w->bitmaps[nextRandom(w) % (uint32_t)w->bitmapCount]);
        break;
    }
}

static void soundStep(Worker* w, uint32_t r) {
    const int which = (int)(nextRandom(w) % SOUND_COUNT);
    VozerSound* s;
    switch (r % 5) {
    case 0:
        if (w->soundCount < HELD_MAX) {
            s = zt->LoadSound(SOUNDS[which]);
            if (s) w->sounds[w->soundCount++] = s;
            else failure(w, "LoadSound gave null");
        }
        break;
    case 1:
        if (zt->GetSound(SOUNDS[which])) atomic_store(&soundGotten[which], 1);
        break;
    case 2:
        if (w->soundCount > 0) zt->ReleaseSound(w->sounds[--w->soundCount]);
        break;
    case 3:
        if (w->soundCount > 0) {
            VozerChannel channel = zt->PlaySound(w->sounds[nextRandom(w) % (uint32_t)w->soundCount], 0.5f, 0.0f, 1.0f);
            if (channel && nextRandom(w) % 2) zt->ChannelOpA(channel);
        }
        break;
    default:
        if (w->soundCount > 0 && nextRandom(w) % 2) zt->PlayMusic(w->sounds[nextRandom(w) % (uint32_t)w->soundCount], 0.3f, 0.1f);
        else zt->StopMusic(0.1f);
        break;
    }
}

static void fontStep(Worker* w, uint32_t r) {
    const int which = (int)(nextRandom(w) % FONT_COUNT);
    VozerFont* f;
    float width, height;
    switch (r % 5) {
    case 0:
        if (w->fontCount < HELD_MAX) {
            f = zt->LoadFont(FONTS[which]);
            if (f) w->fonts[w->fontCount++] = f;
            else failure(w, "LoadFont gave null");
        }
        break;
    case 1:
        if (zt->GetFont(FONTS[which])) atomic_store(&fontGotten[which], 1);
        break;
    case 2:
        if (w->fontCount > 0) zt->ReleaseFont(w->fonts[--w->fontCount]);
        break;
    case 3:
        if (w->fontCount > 0) zt->RecreateFontAtlas(w->fonts[nextRandom(w) % (uint32_t)w->fontCount]);
        break;
    default:
        if (w->fontCount > 0) {
            zt->GetTextSize(w->fonts[nextRandom(w) % (uint32_t)w->fontCount], &width, &height, "worker %d", w->index);
            if (!(width > 0.0f) || !(height > 0.0f)) failure(w, "text measured empty");
        }
        break;
    }
}

static void otherStep(Worker* w, uint32_t r) {
    VozerMutex* mutex;
    switch (r % 7) {
    case 0: listFiles(w); break;
    case 1: readFromPak(w); break;
    case 2: request(w); break;
    case 3: zt->Popup(VZ_WARNING, "stress popup %d", (int)(nextRandom(w) % 4)); break;
    case 4:
        if (nextRandom(w) % 2) {
            mutex = zt->CreateMutex("stress-counter");
            zt->LockMutex(mutex);
            zt->LockMutex(mutex);
            ++mutexCounter;
            zt->UnlockMutex(mutex);
            zt->UnlockMutex(mutex);
            atomic_fetch_add(&mutexIncrements, 1);
        } else {
            mutex = zt->CreateMutex(NULL); /* a new one each time */
            zt->LockMutex(mutex);
            zt->UnlockMutex(mutex);
            zt->DestroyMutex(mutex);
        }
        break;
    case 5:
        zt->LockMainLoop();
        zt->Sleep(nextRandom(w) % 2);
        zt->UnlockMainLoop();
        break;
    default: readFromPak(w); break;
    }
}

static void VZ_CDECL workerMain(void* argument) {
    Worker* w = (Worker*)argument;
    while (!atomic_load(&stopping)) {
        const uint32_t r = nextRandom(w);
        switch (r % 4) {
        case 0: bitmapStep(w, r / 4); break;
        case 1: soundStep(w, r / 4); break;
        case 2: fontStep(w, r / 4); break;
        default: otherStep(w, r / 4); break;
        }
        ++w->steps;
        zt->Log(VZ_INFO, "step %ld", w->steps);
        ++w->logged;
        zt->Sleep(nextRandom(w) % 6);
    }
    while (w->bitmapCount > 0) zt->ReleaseBitmap(w->bitmaps[--w->bitmapCount]);
    while (w->soundCount > 0) zt->ReleaseSound(w->sounds[--w->soundCount]);
    while (w->fontCount > 0) zt->ReleaseFont(w->fonts[--w->fontCount]);
    atomic_fetch_add(&finished, 1);
}

static vz_bool VZ_CDECL stressInit(void) {
    int i;
    char name[32];
    zt = program->api;
    runMs = commandLineNumber(program, "seconds=") * 1000;
    if (runMs <= 0) runMs = 10000;
    httpPort = commandLineNumber(program, "http_port=");
    /* Every resolution change restarts the renderer, as a lost device does. */
    zt->CallExtension("Reinit", (void*)"Restart");
    zt->CallExtension("Hacks", (void*)"AllowAllResolutions"); /* so that every request is a change */
    mainFont = zt->LoadFont(FONTS[0]);
    target = zt->CreateBitmap("stress/target", 64, 64, 1);
    startMs = lastReinitMs = zt->GetTime();
    for (i = 0; i < WORKERS; ++i) {
        workers[i].index = i;
        downloads[i].lock = zt->CreateMutex(NULL);
        workers[i].seed = 0x9E3779B9u * (uint32_t)(i + 1) ^ startMs;
        sprintf(name, "stress-%d", i);
        zt->CreateThread(name, workerMain, &workers[i], 0);
    }
    return 1;
}

/* What the Program holds of a record now: one reference for a Get*. */
static int checkCount(const char* kind, const char* name, int count, int gotten) {
    char line[160];
    if (count == (gotten ? 1 : 0)) return 1;
    sprintf(line, "%s %s count %d gotten %d", kind, name, count, gotten);
    note("unbalanced", line);
    return 0;
}

static void finish(void) {
    int i, balanced = 1, gotten = 0;
    char line[64];
    for (i = 0; i < WORKERS; ++i) {
        sprintf(line, "%d %ld", i, workers[i].steps);
        note("steps", line);
        sprintf(line, "%d %ld", i, workers[i].logged);
        note("logged", line);
    }
    for (i = 0; i < BITMAP_COUNT; ++i) {
        VozerBitmap* b = zt->LoadBitmap(BITMAPS[i], VZ_CACHE_FIND_ONLY);
        if (b) balanced &= checkCount("bitmap", BITMAPS[i], b->refCount, atomic_load(&bitmapGotten[i]));
        gotten += atomic_load(&bitmapGotten[i]);
    }
    for (i = 0; i < SOUND_COUNT; ++i) {
        /* GetSoundEx with mode 16 only looks; a found record is not counted. */
        VozerSound* s = zt->GetSoundEx(SOUNDS[i], VZ_CACHE_FIND_ONLY);
        if (s) balanced &= checkCount("sound", SOUNDS[i], s->refCount, atomic_load(&soundGotten[i]));
        gotten += atomic_load(&soundGotten[i]);
    }
    noteInt("balanced", balanced);
    noteInt("errors", atomic_load(&errors));
    noteInt("mutex-total", mutexCounter == atomic_load(&mutexIncrements) ? 1 : 0);
    noteInt("reinits", reinitCount);
    for (i = 0; i < FONT_COUNT; ++i) gotten += atomic_load(&fontGotten[i]);
    noteInt("gotten", gotten);
    note("done", "1");
}

static void VZ_CDECL stressUpdate(float seconds) {
    uint32_t now = zt->GetTime();
    int i;
    (void)seconds;
    if (!atomic_load(&stopping) && now - startMs >= (uint32_t)runMs) atomic_store(&stopping, 1);
    if (atomic_load(&stopping)) {
        if (atomic_load(&finished) == WORKERS) {
            finish();
            zt->Quit();
        }
        return;
    }
    /* Long downloads are cancelled after a while, as an impatient player would. */
    for (i = 0; i < WORKERS; ++i) {
        Download* d = &downloads[i];
        if (atomic_load(&d->running) && now - atomic_load(&d->startedMs) > 30)
            __atomic_store_n(&d->cancel, 1, __ATOMIC_RELAXED);
    }
    if (now - lastReinitMs >= 1000) {
        VozerDisplayParams params = program->display;
        lastReinitMs = now;
        params.width = reinitCount % 2 ? 640 : 800;
        params.height = reinitCount % 2 ? 480 : 600;
        params.windowed = 1;
        if (zt->Reinitialize(params)) ++reinitCount;
    }
}

static void VZ_CDECL stressRender(float seconds) {
    static int32_t frame;
    int i;
    float x = 10.0f;
    (void)seconds;
    ++frame;
    /* The progress of running downloads, as a loading bar reads it: size first, then the bytes. */
    for (i = 0; i < WORKERS; ++i) {
        VozerBuffer* response = &downloads[i].response;
        int32_t size;
        uint8_t* data;
        zt->LockMutex(downloads[i].lock);
        size = __atomic_load_n(&response->size, __ATOMIC_ACQUIRE);
        data = __atomic_load_n(&response->data, __ATOMIC_ACQUIRE);
        if (size > 0 && data) progressSink += data[size - 1];
        zt->UnlockMutex(downloads[i].lock);
    }
    if (target && zt->PushRenderTarget(target)) {
        zt->ClearScreen(0.2f, 0.2f, 0.2f);
        zt->FillRect(4.0f, 4.0f, 8.0f, 8.0f);
        zt->PopRenderTarget();
    }
    for (i = 0; i < BITMAP_COUNT; ++i) {
        VozerBitmap* b = zt->LoadBitmap(BITMAPS[i], VZ_CACHE_FIND_ONLY);
        if (!b) continue;
        zt->SetBitmapFrame(b, frame);
        zt->DrawBitmap(b, x, 40.0f);
        zt->DrawBitmapEx(b, x + 20.0f, 200.0f, (float)frame * 0.05f, 0.5f);
        x += 70.0f;
    }
    zt->DrawBitmap(target, 10.0f, 300.0f);
    if (mainFont) zt->DrawText(mainFont, 10.0f, 400.0f, "frame %d", (int)frame);
}

static int32_t VZ_CDECL stressEvent(VozerEvent event) {
    if (event.type == VZ_EVENT_CONSOLE_COMMAND) zt->Log(VZ_INFO, "console said: %s", (const char*)vz_event_pointer_at(&event, 0));
    return 0;
}

static void VZ_CDECL stressShutdown(void) {
    int i;
    /* A Get* reference is held for the record's life; a tidy game gives it back at the end. */
    for (i = 0; i < BITMAP_COUNT; ++i)
        if (atomic_load(&bitmapGotten[i])) zt->ReleaseBitmap(zt->LoadBitmap(BITMAPS[i], VZ_CACHE_FIND_ONLY));
    for (i = 0; i < SOUND_COUNT; ++i)
        if (atomic_load(&soundGotten[i])) zt->ReleaseSound(zt->GetSoundEx(SOUNDS[i], VZ_CACHE_FIND_ONLY));
    for (i = 0; i < FONT_COUNT; ++i)
        if (atomic_load(&fontGotten[i])) zt->ReleaseFont(zt->GetFont(FONTS[i]));
    zt->ReleaseFont(mainFont);
    zt->ReleaseBitmap(target);
    note("shutdown", "1");
}

VZ_EXTERN_C VZ_EXPORT vz_bool VZ_CDECL ZT_GetProgramInterface(VozerProgramRecord* record, int32_t version) {
    (void)version;
    program = record;
    fillTestRecord(record, "VozerStressTest", "Stress Test");
    record->display.hibernateUnreferenced = 1;
    record->Init = stressInit;
    record->Update = stressUpdate;
    record->Render = stressRender;
    record->OnEvent = stressEvent;
    record->Shutdown = stressShutdown;
    return 1;
}
