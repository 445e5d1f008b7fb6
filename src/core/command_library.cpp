#include "command_library.h"

namespace {
struct Entry {
    const char16_t* name;
    const char16_t* icon;
    CommandCategory category;
    const char16_t* shortcut; // null: none
    const char16_t* prompt;
    // The key behind the shortcut label, so the advertised hotkey works; 0 flags: none.
    uint16_t keyCode = 0;
    uint64_t modifiers = 0;
};

constexpr uint16_t kKeyG = 5;
constexpr uint16_t kKeyK = 40;
constexpr uint64_t kCommandShift = ModifierFlag::command | ModifierFlag::shift;

const Entry kDefaults[] = {
    {u"Fix Grammar & Spelling", u"textformat.abc", CommandCategory::writing, u"⌘⇧G",
     u"Fix grammar, spelling, and punctuation. Keep the same language. Output only the corrected text.",
     kKeyG, kCommandShift},
    {u"Make Professional", u"briefcase", CommandCategory::business, nullptr,
     u"Rewrite in a professional, formal tone. Do not translate - keep the exact same language as the input. Output only the rewritten text."},
    {u"Make Friendly", u"heart", CommandCategory::social, nullptr,
     u"Rewrite in a warm, friendly tone. Keep the same language. Output only the rewritten text."},
    {u"Rewrite for Clarity", u"text.alignleft", CommandCategory::writing, nullptr,
     u"Rewrite to be clearer and easier to understand. Keep the same language. Output only the rewritten text."},
    {u"Turn into Bullet Points", u"list.bullet", CommandCategory::writing, nullptr,
     u"Convert into a bullet point list. Keep the same language. Output only the bullet points."},
    {u"Translate to Vietnamese", u"globe.asia.australia", CommandCategory::translation, u"⌘⇧K",
     u"Translate to Vietnamese. Output only the translation.", kKeyK, kCommandShift},
    {u"Translate to English", u"globe.americas", CommandCategory::translation, nullptr,
     u"Translate to English. Output only the translation."},
};

const Entry kLibrary[] = {
    {u"Fix Grammar & Spelling", u"textformat.abc", CommandCategory::writing, nullptr,
     u"Fix grammar, spelling, and punctuation. Keep the same language. Output only the corrected text."},
    {u"Improve Writing", u"sparkles", CommandCategory::writing, nullptr,
     u"Improve this text - make it clearer and more polished. Keep the same language. Output only the improved text."},
    {u"Rewrite for Clarity", u"text.alignleft", CommandCategory::writing, nullptr,
     u"Rewrite to be clearer and easier to understand. Keep the same language. Output only the rewritten text."},
    {u"Make Shorter", u"arrow.down.right.and.arrow.up.left", CommandCategory::writing, nullptr,
     u"Make this shorter and more concise. Keep the same language. Output only the shortened text."},
    {u"Make Longer", u"arrow.up.left.and.arrow.down.right", CommandCategory::writing, nullptr,
     u"Expand with more details and examples. Keep the same language. Output only the expanded text."},
    {u"Turn into Bullet Points", u"list.bullet", CommandCategory::writing, nullptr,
     u"Convert into a bullet point list. Keep the same language. Output only the bullet points."},
    {u"Summarize", u"doc.text", CommandCategory::writing, nullptr,
     u"Summarize in 2-3 sentences. Keep the same language. Output only the summary."},
    {u"Paraphrase", u"arrow.triangle.2.circlepath", CommandCategory::writing, nullptr,
     u"Paraphrase using different words. Keep the same language. Output only the paraphrased text."},
    {u"Add Headings", u"textformat.size", CommandCategory::writing, nullptr,
     u"Add appropriate headings to organize this text. Keep the same language. Output the formatted text."},
    {u"Make Professional", u"briefcase", CommandCategory::business, nullptr,
     u"Rewrite in a professional, formal tone. Do not translate - keep the exact same language as the input. Output only the rewritten text."},
    {u"Write Email Reply", u"envelope", CommandCategory::business, nullptr,
     u"Write a professional email reply. Keep the same language. Output only the reply."},
    {u"Create Meeting Notes", u"doc.richtext", CommandCategory::business, nullptr,
     u"Convert into meeting notes with key points and action items. Keep the same language. Output only the notes."},
    {u"Write Executive Summary", u"chart.bar.doc.horizontal", CommandCategory::business, nullptr,
     u"Write a concise executive summary. Keep the same language. Output only the summary."},
    {u"Make Friendly", u"heart", CommandCategory::social, nullptr,
     u"Rewrite in a warm, friendly tone. Keep the same language. Output only the rewritten text."},
    {u"Make Casual", u"face.smiling", CommandCategory::social, nullptr,
     u"Rewrite in a casual, conversational tone. Keep the same language. Output only the rewritten text."},
    {u"Write Tweet", u"bubble.left", CommandCategory::social, nullptr,
     u"Convert into an engaging tweet (max 280 chars). Keep the same language. Include hashtags."},
    {u"Write LinkedIn Post", u"person.2", CommandCategory::social, nullptr,
     u"Convert into an engaging LinkedIn post. Keep the same language. Output only the post."},
    {u"Explain Code", u"questionmark.circle", CommandCategory::coding, nullptr,
     u"Explain what this code does in simple terms."},
    {u"Add Comments", u"text.bubble", CommandCategory::coding, nullptr,
     u"Add helpful comments to this code. Return the code with comments."},
    {u"Fix Bug", u"ladybug", CommandCategory::coding, nullptr,
     u"Find and fix bugs in this code. Explain the fix and return corrected code."},
    {u"Optimize Code", u"bolt", CommandCategory::coding, nullptr,
     u"Optimize for performance and readability. Return the optimized code."},
    {u"Convert to TypeScript", u"chevron.left.forwardslash.chevron.right", CommandCategory::coding, nullptr,
     u"Convert to TypeScript with proper types. Return only the code."},
    {u"Write Unit Tests", u"checkmark.shield", CommandCategory::coding, nullptr,
     u"Write unit tests covering main functionality and edge cases. Return only test code."},
    {u"Translate to English", u"globe.americas", CommandCategory::translation, nullptr,
     u"Translate to English. Output only the translation."},
    {u"Translate to Vietnamese", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Vietnamese. Output only the translation."},
    {u"Translate to Chinese", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Simplified Chinese. Output only the translation."},
    {u"Translate to Japanese", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Japanese. Output only the translation."},
    {u"Translate to Korean", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Korean. Output only the translation."},
    {u"Translate to Spanish", u"globe.europe.africa", CommandCategory::translation, nullptr,
     u"Translate to Spanish. Output only the translation."},
    {u"Translate to French", u"globe.europe.africa", CommandCategory::translation, nullptr,
     u"Translate to French. Output only the translation."},
    {u"Translate to German", u"globe.europe.africa", CommandCategory::translation, nullptr,
     u"Translate to German. Output only the translation."},
    {u"Translate to Portuguese", u"globe.americas", CommandCategory::translation, nullptr,
     u"Translate to Portuguese. Output only the translation."},
    {u"Translate to Russian", u"globe.europe.africa", CommandCategory::translation, nullptr,
     u"Translate to Russian. Output only the translation."},
    {u"Translate to Arabic", u"globe.europe.africa", CommandCategory::translation, nullptr,
     u"Translate to Arabic. Output only the translation."},
    {u"Translate to Hindi", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Hindi. Output only the translation."},
    {u"Translate to Thai", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Thai. Output only the translation."},
    {u"Translate to Indonesian", u"globe.asia.australia", CommandCategory::translation, nullptr,
     u"Translate to Indonesian. Output only the translation."},
    {u"Make Funnier", u"face.smiling", CommandCategory::creative, nullptr,
     u"Rewrite to be funnier and more entertaining. Keep the same language. Output only the rewritten text."},
    {u"Make Dramatic", u"theatermasks", CommandCategory::creative, nullptr,
     u"Rewrite to be more dramatic and impactful. Keep the same language. Output only the rewritten text."},
    {u"Write as Poem", u"music.note", CommandCategory::creative, nullptr,
     u"Rewrite as a creative poem. Keep the same language. Output only the poem."},
    {u"Write Story", u"book", CommandCategory::creative, nullptr,
     u"Turn into a short story. Keep the same language. Output only the story."},
    {u"Explain Simply", u"lightbulb", CommandCategory::education, nullptr,
     u"Explain in simple terms anyone can understand. Keep the same language. Output only the explanation."},
    {u"Create Quiz Questions", u"questionmark.diamond", CommandCategory::education, nullptr,
     u"Create 5 quiz questions with answers. Keep the same language."},
    {u"Create Flashcards", u"rectangle.stack", CommandCategory::education, nullptr,
     u"Convert into flashcard format (Q&A pairs). Keep the same language."},
    {u"Outline Key Points", u"list.number", CommandCategory::education, nullptr,
     u"Create an outline of key points. Keep the same language."},
};

template <size_t N>
QList<Command> build(const Entry (&entries)[N])
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<Command> list;
    list.reserve(qsizetype(N));
    for (const Entry& e : entries) {
        Command c;
        c.id = QUuid::createUuid();
        c.name = QString::fromUtf16(e.name);
        c.prompt = QString::fromUtf16(e.prompt);
        c.icon = QString::fromUtf16(e.icon);
        c.isEnabled = true;
        c.category = e.category;
        if (e.shortcut)
            c.shortcut = QString::fromUtf16(e.shortcut);
        if (e.modifiers) {
            c.shortcutKeyCode = e.keyCode;
            c.shortcutModifiers = e.modifiers;
        }
        c.createdAt = now;
        c.updatedAt = now;
        list.append(c);
    }
    return list;
}
} // namespace

const QList<Command>& defaultCommands()
{
    static const QList<Command> list = build(kDefaults);
    return list;
}

const QList<Command>& commandLibrary()
{
    static const QList<Command> list = build(kLibrary);
    return list;
}
