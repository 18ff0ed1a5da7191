#include "xmp/keywords.h"

const KeywordProperty kKeywordProperty[kKeywordProperties] = {
    {{"http://ns.adobe.com/lightroom/1.0/", "hierarchicalSubject", "lr"},
     "Bag",
     '|',
     {kPixtaggerXmpNamespace, "lrHierarchicalSubject", "pixtagger"}},
    {{"http://www.digikam.org/ns/1.0/", "TagsList", "digiKam"},
     "Seq",
     '/',
     {kPixtaggerXmpNamespace, "digiKamTagsList", "pixtagger"}},
    {{"http://purl.org/dc/elements/1.1/", "subject", "dc"}, "Bag", 0, {kPixtaggerXmpNamespace, "dcSubject", "pixtagger"}},
};

std::vector<std::string> keywordValues(const Keyword& keyword) {
    std::vector<std::string> values;
    for (const KeywordProperty& property : kKeywordProperty) {
        values.push_back(property.separator == 0 || keyword.category.empty()
                             ? keyword.name
                             : keyword.category + property.separator + keyword.name);
    }
    return values;
}
