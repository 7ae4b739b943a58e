"""The wiki's content, made from a seed: about 200 articles under 14 list
pages under Main Page, so that every article is two links from Main Page
(level 3 when Main Page is level 1). Titles carry the things real wikis have
and copies trip on: spaces, dots, non-ASCII letters, sub-pages, and a few
characters that URLs escape. Every article uses one template, sits in a
category, links to other articles and to an external host that is never
reached; some show an uploaded image.

Standard library only, except write_images (Pillow).
"""

import random
from xml.sax.saxutils import escape

TOPICS = ["Rivers", "Mountains", "Programming", "Music", "Cities", "Birds", "History",
          "Chemistry", "Sports", "Cooking", "Astronomy", "Languages", "Railways", "Painting"]
PER_TOPIC = 14
TEMPLATE = "Infobox"
TIMESTAMP = "2025-01-15T12:00:00Z"   # fixed, so that "last edited" footers do not move
IMAGES = ["Sample %d.png" % i for i in range(1, 7)]
IMAGE_SIZE = (240, 160)   # below the default thumbnail width: shown as uploaded, no scaler

# Titles that copies must store under awkward names, given to fixed topics.
SPECIAL_TITLES = {
    "Programming": ["Os.path", "Node.js", "C++", "Version 2.0 release notes", "A/B testing"],
    "Cities": ["Zürich tramways", "Łódź Fabryczna", "St. Mary's Church", "東京タワー"],
    "Languages": ["Ελληνική γλώσσα", "Café society", "What is a dialect?"],
    "Music": ["Rock & roll", "Mr. Smith goes to town"],
    "History": ["Guide/Intro", "Guide/Intro/Setup", "Guide/Advanced"],
}
ADJECTIVES = ["Quiet", "Northern", "Old", "Great", "Little", "Hidden", "Red", "Silver", "Upper",
              "Lower", "Eastern", "Golden", "Western", "Broad", "High", "Lost", "New", "Far",
              "Green", "Iron"]
NOUNS = {
    "Rivers": ["river", "creek", "delta", "estuary", "ford", "falls"],
    "Mountains": ["peak", "ridge", "pass", "summit", "glacier", "valley"],
    "Programming": ["compiler", "parser", "linker", "debugger", "scheduler", "allocator"],
    "Music": ["sonata", "overture", "ballad", "chorale", "étude", "nocturne"],
    "Cities": ["harbour", "square", "quarter", "bridge", "market", "gate"],
    "Birds": ["heron", "warbler", "finch", "kestrel", "plover", "swift"],
    "History": ["treaty", "dynasty", "revolt", "council", "charter", "siege"],
    "Chemistry": ["reaction", "catalyst", "isotope", "polymer", "solvent", "crystal"],
    "Sports": ["league", "derby", "marathon", "regatta", "cup", "relay"],
    "Cooking": ["stew", "pastry", "broth", "relish", "loaf", "pudding"],
    "Astronomy": ["nebula", "comet", "pulsar", "quasar", "cluster", "eclipse"],
    "Languages": ["grammar", "dialect", "alphabet", "lexicon", "idiom", "script"],
    "Railways": ["junction", "viaduct", "tunnel", "depot", "line", "halt"],
    "Painting": ["fresco", "portrait", "landscape", "triptych", "sketch", "mural"],
}
SINGULAR = {"Rivers": "river", "Mountains": "mountain", "Programming": "software",
            "Music": "music", "Cities": "city", "Birds": "bird", "History": "history",
            "Chemistry": "chemistry", "Sports": "sport", "Cooking": "food",
            "Astronomy": "astronomy", "Languages": "language", "Railways": "railway",
            "Painting": "art"}
WORDS = ("the of and a to in is was for on that with as by at from it an be this which or "
         "were are has had its their first after during new other when more also between "
         "into most over such where many some these early later local known large small "
         "century region part work name people city river water line music system form "
         "period area members built since several used called according both while")\
    .split()


def list_title(topic):
    return "List of %s" % topic.lower()


def article_titles(seed=1):
    """{topic: [titles]}, PER_TOPIC each, the same for the same seed."""
    rng = random.Random(seed)
    taken, by_topic = set(), {}
    for topic in TOPICS:
        titles = list(SPECIAL_TITLES.get(topic, []))
        while len(titles) < PER_TOPIC:
            t = "%s %s" % (rng.choice(ADJECTIVES), rng.choice(NOUNS[topic]))
            if rng.random() < 0.3:
                t += " %s" % rng.choice(["(%s)" % SINGULAR[topic], "of " + rng.choice(
                    ["Arden", "Bel", "Corran", "Dunmore", "Ess", "Fallow", "Garth"])])
            if t not in taken and t not in titles:
                titles.append(t)
        taken.update(titles)
        by_topic[topic] = titles
    return by_topic


def content_titles(seed=1):
    """Every page of the main namespace the wiki will hold."""
    by_topic = article_titles(seed)
    return ["Main Page"] + [list_title(t) for t in TOPICS] + \
        [t for topic in TOPICS for t in by_topic[topic]]


def _sentence(rng, links=()):
    words = [rng.choice(WORDS) for _ in range(rng.randint(8, 16))]
    words[0] = words[0].capitalize()
    for link in links:   # titles keep their case: only the first letter is free
        words.insert(rng.randint(1, len(words)), "[[%s]]" % link)
    return " ".join(words) + "."


def _paragraph(rng, pool, n_links):
    links = rng.sample(pool, min(n_links, len(pool)))
    sentences = [_sentence(rng) for _ in range(rng.randint(3, 5))]
    for i, link in enumerate(links):
        k = i % len(sentences)
        sentences[k] = _sentence(rng, [link])
    return " ".join(sentences)


def article_text(title, topic, index, rng, all_titles, image=None):
    others = [t for t in all_titles if t != title]
    parts = ["{{%s|name=%s|topic=%s|since=%d|code=%s-%03d}}" % (
        TEMPLATE, title, topic, 1700 + rng.randint(0, 320), topic[:3].upper(), index),
        "'''%s''' is one of the entries on %s. %s" % (
            title, "[[%s]]" % list_title(topic), _paragraph(rng, others, 2))]
    if image:
        parts.append("[[File:%s|thumb|%s, as drawn for this article.]]" % (image, title))
    for heading in ("History", "Description"):
        parts.append("== %s ==" % heading)
        parts += [_paragraph(rng, others, rng.randint(1, 3)) for _ in range(rng.randint(1, 2))]
    parts.append("=== Details ===")
    parts.append("\n".join("* %s" % _sentence(rng) for _ in range(3)))
    parts.append("== See also ==")
    parts.append("\n".join("* [[%s]]" % t for t in rng.sample(others, 3)))
    parts.append("== External links ==")
    slug = "".join(c if c.isascii() and c.isalnum() else "-" for c in title).lower()
    parts.append("* [http://external.invalid/%s/%s Official pages of %s]\n"
                 "* [http://external.invalid/archive?id=%d Archive record]"
                 % (topic.lower(), slug, title, index))
    parts.append("[[Category:%s]]" % topic)
    return "\n\n".join(parts)


def pages(seed=1):
    """[(title, wikitext)] of every page to import: the template, the
    categories, the list pages and the articles. Main Page comes last."""
    rng = random.Random(seed * 7919 + 1)
    by_topic = article_titles(seed)
    everything = [t for topic in TOPICS for t in by_topic[topic]]
    out = [("Template:" + TEMPLATE, INFOBOX)]
    image_at = 0
    for topic in TOPICS:
        out.append(("Category:" + topic, "Articles about %s. The full list is at [[%s]]."
                    % (topic.lower(), list_title(topic))))
        lines = ["This list holds the %d articles about %s on this wiki. "
                 "Go back to the [[Main Page]]." % (PER_TOPIC, topic.lower()), "== Articles =="]
        lines += ["* [[%s]] – %s" % (t, _sentence(rng)) for t in by_topic[topic]]
        lines.append("[[Category:Lists]]")
        out.append((list_title(topic), "\n\n".join(lines)))
        for i, title in enumerate(by_topic[topic]):
            image = None
            if i % 5 == 2:   # some articles, not all, show an image
                image = IMAGES[image_at % len(IMAGES)]
                image_at += 1
            out.append((title, article_text(title, topic, i + 1, rng, everything, image)))
    out.append(("Category:Lists", "Lists of articles, one per topic."))
    main = ["Welcome to the bench wiki. It holds %d articles, listed by topic below."
            % len(everything), "[[File:%s|thumb|The wiki's emblem.]]" % IMAGES[0],
            "== Topics =="]
    main += ["* [[%s]]" % list_title(t) for t in TOPICS]
    main.append("== Elsewhere ==\n\n* [http://external.invalid/ An external site]")
    out.append(("Main Page", "\n\n".join(main)))
    return out


INFOBOX = """<includeonly>{| class="infobox" style="float:right; clear:right; width:16em; \
margin:0 0 1em 1em; border:1px solid #a2a9b1; background:#f8f9fa; padding:0.3em; \
font-size:90%;"
|+ style="font-weight:bold; font-size:110%;" | {{{name}}}
|-
! Topic
| [[:Category:{{{topic}}}|{{{topic}}}]]
|-
! Since
| {{{since|unknown}}}
|-
! Code
| <code>{{{code}}}</code>
|}</includeonly><noinclude>A box of facts at the top of every article.</noinclude>"""


def dump_xml(page_list):
    """A MediaWiki export file of the pages, one revision each."""
    ns = {"Template": 10, "Category": 14}
    out = ['<mediawiki xmlns="http://www.mediawiki.org/xml/export-0.11/" version="0.11" '
           'xml:lang="en">']
    for title, text in page_list:
        prefix = title.split(":", 1)[0] if ":" in title else ""
        out.append("<page><title>%s</title><ns>%d</ns><revision><timestamp>%s</timestamp>"
                   "<contributor><username>Admin</username></contributor>"
                   "<comment>bench content</comment><model>wikitext</model>"
                   "<format>text/x-wiki</format><text xml:space=\"preserve\">%s</text>"
                   "</revision></page>" % (escape(title), ns.get(prefix, 0), TIMESTAMP,
                                           escape(text)))
    out.append("</mediawiki>\n")
    return "\n".join(out)


def write_images(folder, seed=1):
    """Small PNGs, drawn from the seed: bands, a disc and a number."""
    import os
    from PIL import Image, ImageDraw
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(seed)
    for i, name in enumerate(IMAGES):
        img = Image.new("RGB", IMAGE_SIZE, tuple(rng.randrange(150, 250) for _ in range(3)))
        d = ImageDraw.Draw(img)
        for y in range(0, IMAGE_SIZE[1], 20):
            d.rectangle([0, y, IMAGE_SIZE[0], y + 9],
                        fill=tuple(rng.randrange(60, 200) for _ in range(3)))
        x, y, r = rng.randrange(40, 200), rng.randrange(40, 120), rng.randrange(15, 35)
        d.ellipse([x - r, y - r, x + r, y + r], fill=(200, 40, 40))
        d.text((10, 10), str(i + 1), fill=(0, 0, 0))
        img.save(os.path.join(folder, name.replace(" ", "_")))
